#pragma once

#include <QWidget>

#include <functional>
#include <string>
#include <vector>

class QListWidget;
class QPushButton;

namespace kestrane::gui {

// One list preference (folders, files or extensions) as a list with Add and
// Remove buttons. Every change is stored at once through `store`; `add`
// asks the person for new entries (a folder dialog, a file dialog, a line of
// text) and hands them to `accept`, which may refuse or change the list
// itself (the auto-select lists keep a folder in one list only).
class PathListEditor final : public QWidget {
    Q_OBJECT

public:
    using Entries = std::vector<std::string>;

    PathListEditor(const QString& title, std::function<Entries()> load, std::function<void(const Entries&)> store,
                   QWidget* parent = nullptr);

    // Called with the editor when Add is pressed; it calls addEntries with what was chosen.
    void setAddHandler(std::function<void(PathListEditor&)> add) { m_add = std::move(add); }
    // Decides whether a new entry goes in (false: it does not).
    void setAcceptHandler(std::function<bool(const std::string&)> accept) { m_accept = std::move(accept); }

    void addEntries(const Entries& entries);
    void removeEntry(const std::string& entry);
    void reload();
    Entries entries() const;

    QListWidget* list() const { return m_list; }
    QPushButton* addButton() const { return m_addButton; }
    QPushButton* removeButton() const { return m_removeButton; }

private:
    void removeSelected();

    std::function<Entries()> m_load;
    std::function<void(const Entries&)> m_store;
    std::function<void(PathListEditor&)> m_add;
    std::function<bool(const std::string&)> m_accept;
    QListWidget* m_list;
    QPushButton* m_addButton;
    QPushButton* m_removeButton;
};

}  // namespace kestrane::gui
