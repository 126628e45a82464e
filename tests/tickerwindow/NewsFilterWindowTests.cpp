// The keyword filter editor: add, change and remove with their refusals,
// the keyword field's keys, the sound and effect menus, and saving on close.
#include "settings/PreferencesFile.h"
#include "shell/ShellTargets.h"
#include "ticker/Filters.h"
#include "tickerwindow/NewsFilterWindow.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <gtest/gtest.h>

#include <filesystem>

namespace {

class Editor : public ::testing::Test {
protected:
    void SetUp() override
    {
        SetNewsFilterList(nullptr);
        std::filesystem::remove(GetFilterFile());
        m_window = OpenNewsFilterWindow();
    }
    void TearDown() override
    {
        if (m_window)
            m_window->close();
        SetNewsFilterList(nullptr);
    }
    void Type(const QString& text)
    {
        m_window->GetKeywordField()->setText(text);
    }
    void Press(int key, const QString& text = {})
    {
        QKeyEvent event(QEvent::KeyPress, key, Qt::NoModifier, text);
        QApplication::sendEvent(m_window->GetKeywordField(), &event);
    }
    QStringList Keywords() const
    {
        QStringList keywords;
        for (FilterList* filter = GetNewsFilterList(); filter; filter = filter->next)
            keywords << QString::fromStdString(filter->keyword.str());
        return keywords;
    }

    NewsFilterWindow* m_window = nullptr;
};

TEST_F(Editor, AddRefusesEmptyAndDuplicateKeywordsIgnoringCase)
{
    Type("apple mac");
    m_window->findChild<QPushButton*>("AddK")->click();
    EXPECT_EQ(Keywords(), QStringList{"apple mac"});
    EXPECT_EQ(m_window->GetList()->topLevelItemCount(), 1);
    ASSERT_NE(m_window->GetSelectedFilter(), 0u);
    FilterList* added = FindFilterListByID(GetNewsFilterList(), m_window->GetSelectedFilter());
    ASSERT_NE(added, nullptr);
    EXPECT_EQ(added->sound.view(), "None");
    EXPECT_EQ(added->effect.view(), "None");
    EXPECT_EQ(added->keywords, (std::vector<std::string>{"apple", "mac"}));

    m_window->GetList()->clearSelection();
    Type("Apple MAC");
    m_window->AddKeywordFilterList();
    Type("");
    m_window->AddKeywordFilterList();
    EXPECT_EQ(m_window->GetBeepCount(), 2);
    EXPECT_EQ(Keywords().size(), 1);

    for (const char* keyword : {"Zebra", "banana"}) {
        m_window->GetList()->clearSelection(); // deselecting empties the field
        Type(keyword);
        m_window->AddKeywordFilterList();
    }
    QStringList rows; // sorted by keyword, ignoring case
    for (int i = 0; i < m_window->GetList()->topLevelItemCount(); ++i)
        rows << m_window->GetList()->topLevelItem(i)->text(0);
    EXPECT_EQ(rows, (QStringList{"apple mac", "banana", "Zebra"}));
    EXPECT_EQ(Keywords(), (QStringList{"apple mac", "Zebra", "banana"})); // the file keeps its order
}

TEST_F(Editor, ChangeAndRemoveWorkOnTheSelection)
{
    for (const char* keyword : {"linux", "kernel"}) {
        m_window->GetList()->clearSelection();
        Type(keyword);
        m_window->AddKeywordFilterList();
    }
    m_window->GetList()->clearSelection();
    Type("other");
    m_window->ChangeKeywordFilterList(); // nothing selected
    EXPECT_EQ(m_window->GetBeepCount(), 1);

    QTreeWidgetItem* linux = m_window->GetList()->findItems("linux", Qt::MatchExactly).value(0);
    ASSERT_NE(linux, nullptr);
    linux->setSelected(true);
    EXPECT_EQ(m_window->GetKeywordField()->text(), "linux");
    Type("KERNEL");
    m_window->ChangeKeywordFilterList(); // another filter's text
    EXPECT_EQ(m_window->GetBeepCount(), 2);
    Type("debian linux");
    Press(Qt::Key_Return); // Return with a selection changes it
    EXPECT_EQ(Keywords(), (QStringList{"debian linux", "kernel"}));
    EXPECT_EQ(FindFilterListByKeyword(GetNewsFilterList(), "debian linux")->keywords.size(), 2u);

    m_window->GetList()->selectAll();
    m_window->findChild<QPushButton*>("DelK")->click();
    EXPECT_TRUE(Keywords().isEmpty());
    EXPECT_EQ(m_window->GetList()->topLevelItemCount(), 0);
    EXPECT_TRUE(m_window->GetKeywordField()->text().isEmpty());
}

TEST_F(Editor, KeywordFieldKeys)
{
    Type("news");
    Press(Qt::Key_Return); // Return without a selection adds
    EXPECT_EQ(Keywords(), QStringList{"news"});
    Press(Qt::Key_Escape);
    EXPECT_EQ(m_window->GetKeywordField()->text(), "news"); // refused, not clearing
    Press(Qt::Key_A, QString(QChar(0x01))); // a control character
    EXPECT_EQ(m_window->GetBeepCount(), 1);
    EXPECT_EQ(m_window->GetKeywordField()->text(), "news");
    Press(Qt::Key_Backspace);
    EXPECT_EQ(m_window->GetKeywordField()->text(), "new");
}

TEST_F(Editor, MenusStoreNamesAndShowTheLastMatchingItem)
{
    const QStringList menu{"None", "Chime", "chime", "Bell"};
    EXPECT_EQ(GetMenuValueByName(menu, "CHIME"), 2);
    EXPECT_EQ(GetMenuValueByName(menu, "Gone"), 0);
    EXPECT_EQ(GetNameByMenuValue(menu, 0), "None");
    EXPECT_EQ(GetNameByMenuValue(menu, 3), "Bell");

    Type("hot");
    m_window->AddKeywordFilterList();
    uint32_t fid = m_window->GetSelectedFilter();
    FilterList* filter = FindFilterListByID(GetNewsFilterList(), fid);
    m_window->ChooseFilterEffect(fid, 6); // "Growl"
    EXPECT_EQ(filter->effect.view(), "Growl");
    m_window->ChooseFilterEffect(fid, 0);
    EXPECT_EQ(filter->effect.view(), "None");
    m_window->ChooseFilterSound(fid, 1);
    EXPECT_NE(filter->sound.view(), "None");
}

TEST_F(Editor, ClosingSavesFiltersAndBoundsAndAnEmptyListDeletesTheFile)
{
    Type("saved words");
    m_window->AddKeywordFilterList();
    m_window->setGeometry(100, 120, 500, 300);
    m_window->close();
    m_window = nullptr;
    QCoreApplication::processEvents();
    EXPECT_TRUE(std::filesystem::exists(GetFilterFile()));
    FilterList* loaded = LoadFilterList();
    ASSERT_NE(loaded, nullptr);
    EXPECT_EQ(loaded->keyword.view(), "saved words");
    DisposeFilterList(loaded);
    std::optional<Rect> bounds = LoadWindowBounds(kFilterWindowID);
    ASSERT_TRUE(bounds);
    EXPECT_EQ(bounds->bottom - bounds->top, 300);

    m_window = OpenNewsFilterWindow();
    EXPECT_EQ(m_window->GetList()->topLevelItemCount(), 1);
    m_window->GetList()->selectAll();
    m_window->RemoveFilterList();
    m_window->close();
    m_window = nullptr;
    EXPECT_FALSE(std::filesystem::exists(GetFilterFile()));
}

TEST_F(Editor, TheCommandOpensTheEditorOnce)
{
    ShellOpeners openers;
    openers.openNewsFilterWindow = OpenNewsFilterWindowCommand;
    SetShellOpeners(openers);
    EXPECT_TRUE(ProcessShellCommand(kCommandOpenNewsFilter));
    EXPECT_TRUE(ProcessShellCommand(kCommandOpenNewsFilter));
    int editors = 0;
    for (QWidget* widget : QApplication::topLevelWidgets())
        editors += qobject_cast<NewsFilterWindow*>(widget) != nullptr;
    EXPECT_EQ(editors, 1);
    EXPECT_FALSE(ProcessShellCommand(MakeFourCharCode("pref"))) << "left to the settings window";
    SetShellOpeners({});
}

} // namespace
