// Linking one singly linked chain after another, shared by the subscription
// and news chains. Private to the model's .cpp files.
#pragma once

enum class ChainLink { kLinked, kRefused };

// Links `chain` after the last node of `list` (both non-null). Refused when
// the two already share a node: linking would close the list into a loop
// that every later walk follows forever. Chains that share a node share
// their tail, so looking for the tail in `chain` is enough.
// O(n + m): walks `list` to its tail and `chain` to its end.
template <typename Node>
ChainLink LinkChainAtTail(Node* list, Node* chain)
{
    Node* tail = list;
    while (tail->next)
        tail = tail->next;
    for (const Node* node = chain; node; node = node->next) {
        if (node == tail)
            return ChainLink::kRefused;
    }
    tail->next = chain;
    return ChainLink::kLinked;
}
