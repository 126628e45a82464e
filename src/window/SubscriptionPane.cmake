# The subscription pane's widget sources and the icon registry, compiled
# into the window library.
set(SUBSCRIPTION_PANE_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/SubscriptionPane.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Icons.cpp
)
