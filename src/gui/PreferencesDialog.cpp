#include "gui/PreferencesDialog.h"

#include "gui/GuiText.h"
#include "gui/PathListEditor.h"
#include "gui/QtQuestionAsker.h"
#include "platform/UserFolders.h"
#include "selection/AutoSelectFolderLists.h"
#include "settings/Settings.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QGroupBox>
#include <QInputDialog>
#include <QLabel>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTabWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>
#include <nlohmann/json.hpp>

namespace kestrane::gui {

namespace {

// The slider runs 0...100 in tenths (positions 0...1000); its ticks are the
// ends and the two breakpoints of the size mapping.
constexpr float kSliderTicks[] = {0.0f, 33.333332f, 66.666664f, 100.0f};
constexpr int kPositionsPerUnit = 10;

QVBoxLayout* pageLayout(QWidget* page) {
    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(12, 12, 12, 12);
    return layout;
}

QLabel* note(const QString& text, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setWordWrap(true);
    label->setForegroundRole(QPalette::PlaceholderText);
    return label;
}

}  // namespace

PreferencesDialog::PreferencesDialog(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Preferences"));
    setObjectName(QStringLiteral("PreferencesDialog"));
    m_asker = std::make_shared<QtQuestionAsker>(this);
    auto* layout = new QVBoxLayout(this);
    m_tabs = new QTabWidget(this);
    m_tabs->addTab(makeScanPage(), QStringLiteral("&Scan"));
    m_tabs->addTab(makeSkipListPage(), QStringLiteral("S&kip List"));
    m_tabs->addTab(makeAutoSelectPage(), QStringLiteral("&Auto Select"));
    m_tabs->addTab(makeRemovalPage(), QStringLiteral("&Removal"));
    m_tabs->addTab(makeMessagesPage(), QStringLiteral("&Messages"));
    layout->addWidget(m_tabs, 1);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close | QDialogButtonBox::RestoreDefaults, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(buttons->button(QDialogButtonBox::RestoreDefaults), &QPushButton::clicked, this,
            &PreferencesDialog::restoreDefaults);
    layout->addWidget(buttons);
    resize(620, 520);
    reload();
}

PreferencesDialog::~PreferencesDialog() = default;

QCheckBox* PreferencesDialog::addCheck(QWidget* page, const QString& title, const char* key) {
    auto* box = new QCheckBox(title, page);
    page->layout()->addWidget(box);
    m_checks.emplace_back(box, key);
    connect(box, &QCheckBox::toggled, this, [this, key](bool on) {
        if (m_loading) return;
        if (const auto* definition = Settings::definition(key)) {
            Settings settings = Settings::standard();
            settings.setValueOf(*definition, on);
        }
    });
    return box;
}

QCheckBox* PreferencesDialog::checkBoxOfKey(const char* key) const {
    for (const auto& [box, boxKey] : m_checks)
        if (std::string_view(boxKey) == key) return box;
    return nullptr;
}

QWidget* PreferencesDialog::makeScanPage() {
    auto* page = new QWidget(this);
    QVBoxLayout* layout = pageLayout(page);
    auto* sizeBox = new QGroupBox(QStringLiteral("Smallest file to compare"), page);
    auto* sizeLayout = new QVBoxLayout(sizeBox);
    m_automatic = new QRadioButton(QStringLiteral("Decide automatically (largest files first)"), sizeBox);
    m_allFiles = new QRadioButton(QStringLiteral("All files, whatever their size"), sizeBox);
    m_manual = new QRadioButton(QStringLiteral("Files of at least:"), sizeBox);
    auto* group = new QButtonGroup(this);
    for (auto* radio : {m_automatic, m_allFiles, m_manual}) {
        group->addButton(radio);
        sizeLayout->addWidget(radio);
    }
    auto* sliderRow = new QHBoxLayout;
    m_slider = new QSlider(Qt::Horizontal, sizeBox);
    m_slider->setRange(0, 100 * kPositionsPerUnit);
    m_slider->setTickPosition(QSlider::TicksBelow);
    m_slider->setTickInterval(333);
    m_slider->setPageStep(50);
    m_slider->setAccessibleName(QStringLiteral("Smallest file size"));
    m_sizeLabel = new QLabel(sizeBox);
    m_sizeLabel->setMinimumWidth(80);
    sliderRow->addSpacing(24);
    sliderRow->addWidget(m_slider, 1);
    sliderRow->addWidget(m_sizeLabel);
    sizeLayout->addLayout(sliderRow);
    layout->addWidget(sizeBox);
    connect(group, &QButtonGroup::buttonToggled, this, [this](QAbstractButton*, bool on) {
        if (on) storeSizeChoice();
    });
    connect(m_slider, &QSlider::valueChanged, this, [this] {
        showSizeOfSlider();
        if (!m_slider->isSliderDown()) storeSizeChoice();
    });
    connect(m_slider, &QSlider::sliderReleased, this, [this] {
        m_slider->setValue(snappedSliderPosition(sliderValueOfPosition(m_slider->value())));
        storeSizeChoice();
    });

    addCheck(page, QStringLiteral("Search inside hidden folders"), Settings::kKeyScanInHiddenFolders);
    addCheck(page, QStringLiteral("Compare whole files (slower; otherwise large files are compared by three blocks)"),
             Settings::kKeyForceFullHashCalculation);
    addCheck(page, QStringLiteral("Show the overview after a scan"), Settings::kKeyShowOverviewAfterScanning);
    layout->addWidget(note(QStringLiteral("Backup folders and the system folders at the top of each disk are always "
                                          "left out."),
                           page));
    layout->addStretch();
    return page;
}

float PreferencesDialog::sliderValueOfPosition(int position) {
    const float value = static_cast<float>(position) / kPositionsPerUnit;
    for (float tick : kSliderTicks)
        if (std::fabs(value - tick) <= 0.5f / kPositionsPerUnit) return tick;
    return value;
}

int PreferencesDialog::snappedSliderPosition(float value) {
    for (float tick : kSliderTicks)
        if (std::fabs(value - tick) <= 1.0f) return static_cast<int>(std::lround(tick * kPositionsPerUnit));
    return static_cast<int>(std::lround(value * kPositionsPerUnit));
}

void PreferencesDialog::showSizeOfSlider() {
    const std::uint64_t bytes = Settings::minimalSizeForSliderValue(sliderValueOfPosition(m_slider->value()));
    m_sizeLabel->setText(m_allFiles->isChecked() || bytes == 0 ? QStringLiteral("All files") : sizeText(bytes));
}

void PreferencesDialog::storeSizeChoice() {
    if (m_loading) return;
    Settings settings = Settings::standard();
    settings.setDefineMinimalDuplicatesFileSizeAutomatically(m_automatic->isChecked());
    settings.setDefineMinimalDuplicatesFileSizeAsZero(m_allFiles->isChecked());
    if (m_manual->isChecked())
        settings.setMinDuplicatesFileSize(Settings::minimalSizeForSliderValue(sliderValueOfPosition(m_slider->value())));
    m_slider->setEnabled(m_manual->isChecked());
    showSizeOfSlider();
}

void PreferencesDialog::chooseFolders(PathListEditor& editor) {
    const QString folder = QFileDialog::getExistingDirectory(this, QStringLiteral("Choose a Folder"),
                                                             toQString(platform::homeFolder()));
    if (!folder.isEmpty()) editor.addEntries({toStdString(folder)});
}

QWidget* PreferencesDialog::makeSkipListPage() {
    auto* page = new QWidget(this);
    QVBoxLayout* layout = pageLayout(page);
    layout->addWidget(note(QStringLiteral("Scans leave these folders, files and extensions out."), page));
    Settings settings = Settings::standard();
    m_excludeFolders = new PathListEditor(
        QStringLiteral("Folders"), [] { return Settings::standard().excludeFolders(); },
        [](const auto& list) { Settings::standard().setExcludeFolders(list); }, page);
    m_excludeFolders->setAddHandler([this](PathListEditor& editor) { chooseFolders(editor); });
    m_excludeFiles = new PathListEditor(
        QStringLiteral("Files"), [] { return Settings::standard().excludeFiles(); },
        [](const auto& list) { Settings::standard().setExcludeFiles(list); }, page);
    m_excludeFiles->setAddHandler([this](PathListEditor& editor) {
        const QStringList files = QFileDialog::getOpenFileNames(this, QStringLiteral("Choose Files"),
                                                                toQString(platform::homeFolder()));
        editor.addEntries(toStdStrings(files));
    });
    m_excludeExtensions = new PathListEditor(
        QStringLiteral("Extensions"), [] { return Settings::standard().excludeExtensions(); },
        [](const auto& list) { Settings::standard().setExcludeExtensions(list); }, page);
    m_excludeExtensions->setAddHandler([this](PathListEditor& editor) {
        bool ok = false;
        const QString typed = QInputDialog::getText(this, QStringLiteral("Add an Extension"),
                                                    QStringLiteral("Extension to leave out (for example .tmp):"),
                                                    QLineEdit::Normal, {}, &ok);
        if (!ok) return;
        if (const auto entry = Settings::normalizedExtensionEntry(toStdString(typed))) editor.addEntries({*entry});
    });
    auto* lists = new QHBoxLayout;
    lists->addWidget(m_excludeFolders);
    lists->addWidget(m_excludeFiles);
    lists->addWidget(m_excludeExtensions);
    layout->addLayout(lists, 1);
    return page;
}

bool PreferencesDialog::acceptAutoSelectFolder(AutoSelectFolderLists::List list, const std::string& folder) {
    // The lists' rules are the core's: the folder is added there (or the
    // person is asked or told), never by the editor itself.
    Settings settings = Settings::standard();
    const auto result = AutoSelectFolderLists::addFolder(settings, list, folder, false);
    QPointer<PreferencesDialog> self(this);
    switch (result.outcome) {
        case AutoSelectFolderLists::Outcome::added:
        case AutoSelectFolderLists::Outcome::moved: break;
        case AutoSelectFolderLists::Outcome::alreadyInList:
            if (result.question) m_asker->ask(*result.question, [](Answer) {});
            break;
        case AutoSelectFolderLists::Outcome::inOtherList:
            if (result.question)
                m_asker->ask(*result.question, [self, list, folder, yes = result.question->yesButton](Answer answer) {
                    if (!self || answer.button != yes) return;
                    Settings again = Settings::standard();
                    AutoSelectFolderLists::addFolder(again, list, folder, true);
                    self->m_always->reload();
                    self->m_never->reload();
                });
            break;
    }
    m_always->reload();
    m_never->reload();
    return false;
}

QWidget* PreferencesDialog::makeAutoSelectPage() {
    auto* page = new QWidget(this);
    QVBoxLayout* layout = pageLayout(page);
    layout->addWidget(note(QStringLiteral("Auto Select selects the copies in Always Select folders and never selects "
                                          "copies in Never Select folders; otherwise it keeps the copy with the most "
                                          "original name, the oldest one, the one nearest the top."),
                           page));
    m_always = new PathListEditor(
        QStringLiteral("Always Select"), [] { return Settings::standard().autoAlwaysSelectFolders(); },
        [](const auto& list) { Settings::standard().setAutoAlwaysSelectFolders(list); }, page);
    m_never = new PathListEditor(
        QStringLiteral("Never Select"), [] { return Settings::standard().autoNeverSelectFolders(); },
        [](const auto& list) { Settings::standard().setAutoNeverSelectFolders(list); }, page);
    for (auto* editor : {m_always, m_never})
        editor->setAddHandler([this](PathListEditor& target) { chooseFolders(target); });
    m_always->setAcceptHandler([this](const std::string& folder) {
        return acceptAutoSelectFolder(AutoSelectFolderLists::List::alwaysSelect, folder);
    });
    m_never->setAcceptHandler([this](const std::string& folder) {
        return acceptAutoSelectFolder(AutoSelectFolderLists::List::neverSelect, folder);
    });
    auto* lists = new QHBoxLayout;
    lists->addWidget(m_always);
    lists->addWidget(m_never);
    layout->addLayout(lists, 1);
    return page;
}

QWidget* PreferencesDialog::makeRemovalPage() {
    auto* page = new QWidget(this);
    QVBoxLayout* layout = pageLayout(page);
    m_toTrash = new QRadioButton(QStringLiteral("Move removed copies to the Trash"), page);
    m_permanently = new QRadioButton(QStringLiteral("Delete removed copies permanently"), page);
    auto* group = new QButtonGroup(this);
    group->addButton(m_toTrash);
    group->addButton(m_permanently);
    layout->addWidget(m_toTrash);
    layout->addWidget(m_permanently);
    connect(m_toTrash, &QRadioButton::toggled, this, [this](bool on) {
        if (!m_loading) Settings::standard().setMoveCleanedDuplicatesToTheTrashCan(on);
    });
    addCheck(page, QStringLiteral("Allow selecting every copy of a file"), Settings::kKeyAllowRemovingAllDuplicateCopies);
    addCheck(page, QStringLiteral("Remove folders that a removal leaves empty"), Settings::kKeyRemoveEmptyFolders);
    addCheck(page, QStringLiteral("Keep a log of removed files, so that they can be restored"),
             Settings::kKeyLogRemovedDuplicates);
    auto* merge = new QLabel(QStringLiteral("Merging similar folders"), page);
    QFont bold = merge->font();
    bold.setBold(true);
    merge->setFont(bold);
    layout->addSpacing(12);
    layout->addWidget(merge);
    addCheck(page, QStringLiteral("Move files when merging (instead of copying them)"),
             Settings::kKeyMergeDialogueMoveMergedFiles);
    addCheck(page, QStringLiteral("Also merge files that have a copy under another name"),
             Settings::kKeyMergeDialogueNeedMergeDuplicatesWithDifferentNames);
    addCheck(page, QStringLiteral("Open the merge window with its options shown"),
             Settings::kKeyMergeDialogueExpandOptions);
    layout->addStretch();
    return page;
}

QWidget* PreferencesDialog::makeMessagesPage() {
    auto* page = new QWidget(this);
    QVBoxLayout* layout = pageLayout(page);
    layout->addWidget(note(QStringLiteral("Show these messages:"), page));
    addCheck(page, QStringLiteral("Before selecting the last copies of a file in the categories"),
             Settings::kKeyShowRemoveLastInCategoriesMessage);
    addCheck(page, QStringLiteral("Before selecting the last copies of a file in similar folders"),
             Settings::kKeyShowRemoveLastInHeapsMessage);
    addCheck(page, QStringLiteral("Before a new scan discards the results"), Settings::kKeyShowNewScanMessage);
    addCheck(page, QStringLiteral("Before a rescan discards the results"), Settings::kKeyShowRestartScanMessage);
    addCheck(page, QStringLiteral("Before deleting permanently"), Settings::kKeyShowRemovePermanentlyMessage);
    addCheck(page, QStringLiteral("Before deleting files on network disks permanently"),
             Settings::kKeyShowRemovePermanentlyItemsOnRemoteDisksMessage);
    addCheck(page, QStringLiteral("After Auto Select, to review the selection"), Settings::kKeyShowAutoSelectMessage);
    addCheck(page, QStringLiteral("When Auto Select changed nothing"),
             Settings::kKeyShowAlertThatAutoSelectDidNotChangeSelection);
    addCheck(page, QStringLiteral("When Auto Select changed nothing because of the Never Select list"),
             Settings::kKeyShowAlertThatAutoSelectDidNotChangeSelectionBecauseNeverSelectList);
    addCheck(page, QStringLiteral("When a duplicate folder is selected in Select in Folder"),
             Settings::kKeyShowAlertThatDuplicateFolderSelectedInSelectInFolderDialog);
    layout->addStretch();
    return page;
}

void PreferencesDialog::reload() {
    m_loading = true;
    const Settings settings = Settings::standard();
    for (const auto& [box, key] : m_checks)
        if (const auto* definition = Settings::definition(key)) box->setChecked(settings.valueOf(*definition).get<bool>());
    const bool automatic = settings.defineMinimalDuplicatesFileSizeAutomatically();
    const bool zero = !automatic && settings.defineMinimalDuplicatesFileSizeAsZero();
    (automatic ? m_automatic : zero ? m_allFiles : m_manual)->setChecked(true);
    m_slider->setValue(static_cast<int>(
        std::lround(Settings::sliderValueForMinimalSize(settings.minDuplicatesFileSize()) * kPositionsPerUnit)));
    m_slider->setEnabled(m_manual->isChecked());
    showSizeOfSlider();
    (settings.moveCleanedDuplicatesToTheTrashCan() ? m_toTrash : m_permanently)->setChecked(true);
    for (auto* editor : {m_excludeFolders, m_excludeFiles, m_excludeExtensions, m_always, m_never}) editor->reload();
    m_loading = false;
}

void PreferencesDialog::showNeverSelectList() {
    m_tabs->setCurrentIndex(2);
    m_never->list()->setFocus();
}

void PreferencesDialog::restoreDefaults() {
    Settings::standard().restoreDefaultsForAllSettings();
    reload();
}

}  // namespace kestrane::gui
