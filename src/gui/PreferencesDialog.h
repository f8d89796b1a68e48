#pragma once

#include "selection/AutoSelectFolderLists.h"

#include <QDialog>

#include <functional>
#include <memory>
#include <vector>

class QButtonGroup;
class QCheckBox;
class QLabel;
class QRadioButton;
class QSlider;
class QTabWidget;

namespace kestrane::gui {

class PathListEditor;
class QtQuestionAsker;

// Every preference a person sets, in the same preferences file as the
// command line: the scan (minimal size, hidden folders, full content keys),
// the skip lists, the auto-select folder lists, removal and merge, and the
// messages that can be turned off. Changes apply at once; "Restore Defaults"
// puts every preference back.
class PreferencesDialog final : public QDialog {
    Q_OBJECT

public:
    explicit PreferencesDialog(QWidget* parent = nullptr);
    ~PreferencesDialog() override;

    // Shows every control as the store has it now.
    void reload();
    void restoreDefaults();
    // Turns to the auto-select lists.
    void showNeverSelectList();

    QTabWidget* tabs() const { return m_tabs; }
    // The check box of a boolean preference, by its stored key.
    QCheckBox* checkBoxOfKey(const char* key) const;
    QRadioButton* automaticSize() const { return m_automatic; }
    QRadioButton* allFiles() const { return m_allFiles; }
    QRadioButton* manualSize() const { return m_manual; }
    QSlider* sizeSlider() const { return m_slider; }
    QLabel* sizeLabel() const { return m_sizeLabel; }
    QRadioButton* moveToTrash() const { return m_toTrash; }
    QRadioButton* deletePermanently() const { return m_permanently; }
    PathListEditor* excludeFolders() const { return m_excludeFolders; }
    PathListEditor* excludeFiles() const { return m_excludeFiles; }
    PathListEditor* excludeExtensions() const { return m_excludeExtensions; }
    PathListEditor* alwaysSelect() const { return m_always; }
    PathListEditor* neverSelect() const { return m_never; }
    QtQuestionAsker& questions() const { return *m_asker; }

    // The slider's value (0...100) at a position of the slider; the
    // position of a tick gives the tick's exact value.
    static float sliderValueOfPosition(int position);
    // Where the slider goes for a value: onto a tick when within 1.0 of one.
    static int snappedSliderPosition(float value);

private:
    QWidget* makeScanPage();
    QWidget* makeSkipListPage();
    QWidget* makeAutoSelectPage();
    QWidget* makeRemovalPage();
    QWidget* makeMessagesPage();
    QCheckBox* addCheck(QWidget* page, const QString& title, const char* key);
    void storeSizeChoice();
    void showSizeOfSlider();
    // The auto-select lists keep a folder in one list only.
    bool acceptAutoSelectFolder(AutoSelectFolderLists::List list, const std::string& folder);
    void chooseFolders(PathListEditor& editor);

    std::shared_ptr<QtQuestionAsker> m_asker;
    QTabWidget* m_tabs;
    std::vector<std::pair<QCheckBox*, const char*>> m_checks;
    QRadioButton* m_automatic;
    QRadioButton* m_allFiles;
    QRadioButton* m_manual;
    QSlider* m_slider;
    QLabel* m_sizeLabel;
    QRadioButton* m_toTrash;
    QRadioButton* m_permanently;
    PathListEditor* m_excludeFolders;
    PathListEditor* m_excludeFiles;
    PathListEditor* m_excludeExtensions;
    PathListEditor* m_always;
    PathListEditor* m_never;
    bool m_loading = false;
};

}  // namespace kestrane::gui
