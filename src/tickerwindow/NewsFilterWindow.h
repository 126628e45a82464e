// The keyword filter editor: a list of filters with keyword, sound and
// effect columns, a keyword field and add, change and remove buttons. It
// edits the run's filter list in place (ticker/Filters.h), so matching uses
// the edits at once; closing the window saves the list and its bounds.
#pragma once

#include <QWidget>

#include <cstdint>

class QComboBox;
class QLineEdit;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;
struct FilterList;

// The longest keyword text the field gives, in UTF-8 bytes.
constexpr size_t kFilterKeywordFieldLimit = 126;
constexpr int kFilterRowHeight = 24;
constexpr int kFilterKeywordColumnWidth = 215;

class NewsFilterWindow : public QWidget {
    Q_OBJECT

public:
    NewsFilterWindow();
    ~NewsFilterWindow() override;

    // The editor's operations, as its buttons and the Return key run them.
    void AddKeywordFilterList();
    void ChangeKeywordFilterList();
    void RemoveFilterList();
    // Fills the list from the run's filters.
    void SetupFilterList();

    // Chooses a sound or effect menu item for the filter `fid` as the user does.
    void ChooseFilterSound(uint32_t fid, int item);
    void ChooseFilterEffect(uint32_t fid, int item);

    // For tests: the parts and the beeps so far.
    QTreeWidget* GetList() const { return m_list; }
    QLineEdit* GetKeywordField() const { return m_keyword; }
    uint32_t GetSelectedFilter() const { return m_select; }
    int GetBeepCount() const { return m_beeps; }

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Saves the filters and the window's bounds (closing, or quitting with
    // the window open).
    void SaveFilterWindow();
    void Beep();
    void SelectionChanged();
    QTreeWidgetItem* AddFilterRow(FilterList& filter);
    QTreeWidgetItem* FindRow(uint32_t fid) const;
    QComboBox* MakeMenu(const QStringList& items, const QString& stored);
    QString TakeKeywordText() const;
    bool HandleKeywordKey(QKeyEvent* key);

    QTreeWidget* m_list = nullptr;
    QLineEdit* m_keyword = nullptr;
    QStringList m_soundMenu;
    QStringList m_effectMenu;
    uint32_t m_select = 0; // fid of the selected filter; 0 for none
    bool m_dirty = false;
    bool m_useTextInput = false; // an input method is composing in the field
    int m_beeps = 0;
};

// Opens the editor, or brings it to the front when it is open ('sNFW').
NewsFilterWindow* OpenNewsFilterWindow();
// The 'sNFW' command's form for the shell's openers.
void OpenNewsFilterWindowCommand();

// The menu item showing `stored`: the last whose text equals it ignoring
// case, else the first ("None").
int GetMenuValueByName(const QStringList& menu, const QString& stored);
// The name a menu item stores: its text, "None" for the first item.
QString GetNameByMenuValue(const QStringList& menu, int item);
