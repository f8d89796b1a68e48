#include "gui/MergeDialog.h"

#include "duplicates/DuplicatesContainer.h"
#include "folders/DuplicatesHeap.h"
#include "gui/GuiText.h"
#include "merge/MergeColorTag.h"
#include "merge/MergeOperationData.h"
#include "merge/SourceFolderRemoval.h"
#include "settings/Settings.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace kestrane::gui {

namespace {

constexpr int kProgressRange = 1000;

enum Column { nameColumn, sizeColumn, whatColumn };

// A name inside a button's text, where "&" marks the shortcut letter.
QString mnemonicSafe(QString name) {
    return name.replace(QLatin1Char('&'), QStringLiteral("&&"));
}

QString quoted(std::string_view name) {
    return QStringLiteral("\u201C%1\u201D").arg(toQString(name));
}

QString capitalParticiple(MergeAction action) {
    return action == MergeAction::Move ? QStringLiteral("Moved") : QStringLiteral("Copied");
}

QString participle(MergeAction action) {
    return action == MergeAction::Move ? QStringLiteral("moved") : QStringLiteral("copied");
}

QString firstLine(const std::string& text) {
    const QString line = toQString(text);
    const qsizetype end = line.indexOf(QLatin1Char('\n'));
    return end < 0 ? line : line.left(end);
}

}  // namespace

// Hands the merge's news to the window, which may be gone by then.
class MergeDialog::Listener final : public MergeOperationDataListener {
public:
    explicit Listener(MergeDialog* dialog) : m_dialog(dialog) {}

    void onMergePlanChanged(const MergeOperationData&) override {
        if (m_dialog) m_dialog->refreshPlan();
    }
    void onMergeStateChanged(const MergeOperationData&) override {
        if (m_dialog) m_dialog->refreshState();
    }
    void onMergeProgress(const MergeOperationData&, const MergeOperationProgressInfo& info) override {
        if (!m_dialog) return;
        const auto& statistics = info.operationsStatistics;
        m_dialog->showProgress(info.sizeOfMergedItems, info.sizeOfAllItems,
                               statistics.countOfSuccessfullyPerformed + statistics.countOfFailed +
                                   statistics.countOfNotPerformed,
                               statistics.totalCount);
    }

private:
    QPointer<MergeDialog> m_dialog;
};

MergeDialog::MergeDialog(std::shared_ptr<DuplicatesHeap> heap, std::shared_ptr<DuplicatesContainer> container,
                         QWidget* parent)
    : QDialog(parent) {
    const Settings settings = Settings::standard();
    m_merge = MergeOperationData::create(std::move(heap), std::move(container),
                                         MergeOperationOptions::fromSettings(settings));
    m_listener = std::make_shared<Listener>(this);
    m_merge->addListener(m_listener);
    // Two folders of the same name are told apart by their parent folders.
    const bool sameNames = m_merge->leftFolder()->name() == m_merge->rightFolder()->name();
    const auto shown = [sameNames](const MergeFolder& folder) {
        return sameNames ? shortPath(folder.path()) : toQString(folder.name());
    };
    const QString left = shown(*m_merge->leftFolder());
    const QString right = shown(*m_merge->rightFolder());
    setWindowTitle(QStringLiteral("Merge \u201C%1\u201D and \u201C%2\u201D").arg(left, right));

    auto* layout = new QVBoxLayout(this);
    auto* intro = new QLabel(QStringLiteral("One folder is made complete with what only the other holds. "
                                            "Nothing already there is replaced: a name that is taken gets a number."),
                             this);
    intro->setWordWrap(true);
    layout->addWidget(intro);

    auto* choices = new QHBoxLayout;
    auto* directionBox = new QGroupBox(QStringLiteral("Direction"), this);
    auto* directionLayout = new QVBoxLayout(directionBox);
    m_directions[0] = new QRadioButton(
        QStringLiteral("From \u201C%1\u201D &to \u201C%2\u201D").arg(mnemonicSafe(left), mnemonicSafe(right)),
        directionBox);
    m_directions[1] = new QRadioButton(
        QStringLiteral("&From \u201C%1\u201D to \u201C%2\u201D").arg(mnemonicSafe(right), mnemonicSafe(left)),
        directionBox);
    m_directions[0]->setToolTip(QStringLiteral("%1\n\u2192 %2").arg(toQString(m_merge->leftFolder()->path()),
                                                                    toQString(m_merge->rightFolder()->path())));
    m_directions[1]->setToolTip(QStringLiteral("%1\n\u2192 %2").arg(toQString(m_merge->rightFolder()->path()),
                                                                    toQString(m_merge->leftFolder()->path())));
    m_directions[0]->setChecked(true);
    for (auto* button : m_directions) directionLayout->addWidget(button);
    choices->addWidget(directionBox, 2);

    auto* actionBox = new QGroupBox(QStringLiteral("Action"), this);
    auto* actionLayout = new QVBoxLayout(actionBox);
    m_actions[0] = new QRadioButton(QStringLiteral("&Copy the files"), actionBox);
    m_actions[1] = new QRadioButton(QStringLiteral("&Move the files"), actionBox);
    m_actions[0]->setToolTip(QStringLiteral("The source folder stays as it is"));
    m_actions[1]->setToolTip(QStringLiteral("The files leave the source folder"));
    const bool move = m_merge->options().action == MergeAction::Move;
    m_actions[move ? 1 : 0]->setChecked(true);
    for (auto* button : m_actions) actionLayout->addWidget(button);
    choices->addWidget(actionBox, 1);
    layout->addLayout(choices);

    m_optionsToggle = new QToolButton(this);
    m_optionsToggle->setText(QStringLiteral("&Options"));
    m_optionsToggle->setCheckable(true);
    m_optionsToggle->setAutoRaise(true);
    m_optionsToggle->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    layout->addWidget(m_optionsToggle);
    m_options = new QWidget(this);
    auto* optionsLayout = new QFormLayout(m_options);
    optionsLayout->setContentsMargins(24, 0, 0, 0);
    m_differentNames =
        new QCheckBox(QStringLiteral("Also merge files that have a copy under &another name"), m_options);
    m_differentNames->setToolTip(QStringLiteral("The destination then holds the file under both names"));
    m_differentNames->setChecked(m_merge->options().mergeDuplicatesWithDifferentNames);
    optionsLayout->addRow(m_differentNames);
    m_removeSource = new QCheckBox(QStringLiteral("Then move the source folder to the &Trash"), m_options);
    m_removeSource->setToolTip(QStringLiteral("Only when everything still in it has an identical copy in the "
                                              "destination, compared byte for byte"));
    optionsLayout->addRow(m_removeSource);
    m_colorTag = new QComboBox(m_options);
    m_colorTag->addItem(QStringLiteral("None"), 0);
    for (int tag = 1; tag <= 7; ++tag)
        if (const auto name = MergeColorTag::tagName(tag)) m_colorTag->addItem(toQString(*name), tag);
    m_colorTag->setToolTip(QStringLiteral("A colour tag for the files that arrive, as file managers show tags"));
    optionsLayout->addRow(QStringLiteral("Co&lour tag:"), m_colorTag);
    layout->addWidget(m_options);

    m_message = new QLabel(this);
    m_message->setWordWrap(true);
    QFont bold = m_message->font();
    bold.setBold(true);
    m_message->setFont(bold);
    m_message->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(m_message);
    m_hint = new QLabel(this);
    m_hint->setWordWrap(true);
    m_hint->setForegroundRole(QPalette::PlaceholderText);
    layout->addWidget(m_hint);

    m_items = new QTreeWidget(this);
    m_items->setColumnCount(3);
    m_items->setHeaderLabels({QStringLiteral("Name"), QStringLiteral("Size"), QStringLiteral("What Happens")});
    m_items->setRootIsDecorated(true);
    m_items->setUniformRowHeights(true);
    m_items->setAlternatingRowColors(true);
    m_items->setTextElideMode(Qt::ElideMiddle);
    m_items->header()->setStretchLastSection(false);
    m_items->header()->setSectionResizeMode(nameColumn, QHeaderView::Stretch);
    m_items->header()->setSectionResizeMode(sizeColumn, QHeaderView::ResizeToContents);
    m_items->header()->setSectionResizeMode(whatColumn, QHeaderView::Stretch);
    m_items->setAccessibleName(QStringLiteral("Files of the source folder"));
    layout->addWidget(m_items, 1);

    auto* feasibilityRow = new QWidget(this);
    auto* feasibilityLayout = new QHBoxLayout(feasibilityRow);
    feasibilityLayout->setContentsMargins(0, 0, 0, 0);
    auto* warning = new QLabel(feasibilityRow);
    const int iconSize = style()->pixelMetric(QStyle::PM_SmallIconSize);
    warning->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxWarning).pixmap(iconSize, iconSize));
    feasibilityLayout->addWidget(warning, 0, Qt::AlignTop);
    m_feasibility = new QLabel(feasibilityRow);
    m_feasibility->setWordWrap(true);
    m_feasibility->setTextInteractionFlags(Qt::TextSelectableByMouse);
    feasibilityLayout->addWidget(m_feasibility, 1);
    layout->addWidget(feasibilityRow);

    auto* progressRow = new QHBoxLayout;
    m_progress = new QProgressBar(this);
    m_progress->setRange(0, kProgressRange);
    m_progress->setTextVisible(false);
    m_progressText = new QLabel(this);
    progressRow->addWidget(m_progress, 1);
    progressRow->addWidget(m_progressText);
    layout->addLayout(progressRow);

    m_result = new QLabel(this);
    m_result->setWordWrap(true);
    m_result->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_result->setFont(bold);
    layout->addWidget(m_result);

    m_buttons = new QDialogButtonBox(this);
    m_mergeButton = m_buttons->addButton(QStringLiteral("&Merge"), QDialogButtonBox::ActionRole);
    m_mergeButton->setIcon(themeIcon(QStringLiteral("edit-copy")));
    m_closeButton = m_buttons->addButton(QDialogButtonBox::Cancel);
    m_mergeButton->setDefault(true);
    layout->addWidget(m_buttons);

    connect(m_directions[0], &QRadioButton::toggled, this, [this](bool on) {
        setDirection(on ? MergeDirection::LeftToRight : MergeDirection::RightToLeft);
    });
    connect(m_actions[1], &QRadioButton::toggled, this,
            [this](bool on) { setAction(on ? MergeAction::Move : MergeAction::Copy); });
    connect(m_differentNames, &QCheckBox::toggled, this, [this](bool on) {
        Settings::standard().setMergeDialogueNeedMergeDuplicatesWithDifferentNames(on);
        optionsEdited();
    });
    connect(m_removeSource, &QCheckBox::toggled, this, &MergeDialog::optionsEdited);
    connect(m_colorTag, &QComboBox::currentIndexChanged, this, &MergeDialog::optionsEdited);
    connect(m_optionsToggle, &QToolButton::toggled, this, [this](bool shown) {
        Settings::standard().setMergeDialogueExpandOptions(shown);
        setOptionsShown(shown);
    });
    connect(m_mergeButton, &QPushButton::clicked, this, &MergeDialog::startMerge);
    connect(m_buttons, &QDialogButtonBox::rejected, this, &MergeDialog::reject);

    m_optionsToggle->setChecked(settings.mergeDialogueExpandOptions());
    setOptionsShown(m_optionsToggle->isChecked());
    m_removeSource->setEnabled(move);
    resize(680, 600);
    refreshPlan();
    refreshState();
}

MergeDialog::~MergeDialog() {
    if (m_merge) {
        m_merge->removeListener(m_listener.get());
        // A window closed some other way never leaves the work running unseen.
        if (m_merge->state() == MergeState::Perform) m_merge->stop();
    }
}

bool MergeDialog::isPerforming() const {
    return m_merge->state() == MergeState::Perform;
}

QRadioButton* MergeDialog::directionButton(MergeDirection direction) const {
    return m_directions[direction == MergeDirection::LeftToRight ? 0 : 1];
}

QRadioButton* MergeDialog::actionButton(MergeAction action) const {
    return m_actions[action == MergeAction::Move ? 1 : 0];
}

void MergeDialog::reject() {
    if (isPerforming()) {
        m_stopping = true;
        m_merge->stop();
        m_closeButton->setEnabled(false);
        m_progressText->setText(QStringLiteral("Stopping after the file under way…"));
        return;
    }
    QDialog::reject();
}

void MergeDialog::setDirection(MergeDirection direction) {
    if (m_merge->state() != MergeState::Preview || m_merge->direction() == direction) return;
    m_merge->setDirection(direction);
}

void MergeDialog::setAction(MergeAction action) {
    Settings::standard().setMergeDialogueMoveMergedFiles(action == MergeAction::Move);
    // Only a move can empty the source folder.
    m_removeSource->setEnabled(action == MergeAction::Move);
    if (action != MergeAction::Move) {
        const QSignalBlocker blocker(m_removeSource);
        m_removeSource->setChecked(false);
    }
    optionsEdited();
}

void MergeDialog::setOptionsShown(bool shown) {
    m_optionsToggle->setArrowType(shown ? Qt::DownArrow : Qt::RightArrow);
    m_options->setVisible(shown);
}

void MergeDialog::optionsEdited() {
    if (m_merge->state() != MergeState::Preview) return;
    MergeOperationOptions options;
    options.action = m_actions[1]->isChecked() ? MergeAction::Move : MergeAction::Copy;
    options.mergeDuplicatesWithDifferentNames = m_differentNames->isChecked();
    options.removeSourceFolder = options.action == MergeAction::Move && m_removeSource->isChecked();
    options.colorTag = m_colorTag->currentData().toInt();
    if (options == m_merge->options()) return;
    m_merge->setOptions(options);
}

void MergeDialog::startMerge() {
    std::string refusal;
    if (!m_merge->perform(&refusal)) {
        m_feasibility->setText(toQString(refusal));
        m_feasibility->parentWidget()->show();
        refreshState();
    }
}

void MergeDialog::refreshPlan() {
    const auto preview = m_merge->preview();
    m_message->setText(toQString(preview.message));
    m_hint->setText(toQString(preview.hint));
    if (m_merge->state() == MergeState::Preview) {
        const auto problem = m_merge->feasibilityMessage();
        m_feasibility->setText(problem ? toQString(*problem) : QString());
        m_feasibility->parentWidget()->setVisible(problem.has_value());
        const auto& options = m_merge->options();
        const bool somethingToDo = m_merge->countOfAffectedItems() > 0 ||
                                   (options.removeSourceFolder && options.action == MergeAction::Move);
        m_mergeButton->setEnabled(!problem && somethingToDo);
        m_mergeButton->setIcon(
            themeIcon(options.action == MergeAction::Move ? QStringLiteral("edit-cut") : QStringLiteral("edit-copy")));
    }
    fillItems();
}

void MergeDialog::refreshState() {
    const MergeState state = m_merge->state();
    const bool preview = state == MergeState::Preview;
    for (auto* button : m_directions) button->setEnabled(preview);
    for (auto* button : m_actions) button->setEnabled(preview);
    m_options->setEnabled(preview);
    m_progress->setVisible(!preview);
    m_progressText->setVisible(!preview);
    m_result->setVisible(state == MergeState::ViewResult);
    m_mergeButton->setVisible(preview);
    switch (state) {
        case MergeState::Preview:
            m_closeButton->setText(QStringLiteral("Cancel"));
            break;
        case MergeState::Perform:
            m_feasibility->parentWidget()->hide();
            m_closeButton->setText(QStringLiteral("&Stop"));
            m_closeButton->setEnabled(!m_stopping);
            m_closeButton->setFocus();
            showProgress(0, 0, 0, m_merge->operationsStatistics().totalCount);
            break;
        case MergeState::ViewResult: {
            m_closeButton->setText(QStringLiteral("Close"));
            m_closeButton->setEnabled(true);
            m_closeButton->setDefault(true);
            m_closeButton->setFocus();
            const auto& statistics = m_merge->operationsStatistics();
            m_progress->setValue(kProgressRange);
            m_progressText->setText(QStringLiteral("%1 of %2 files")
                                        .arg(countText(statistics.countOfSuccessfullyPerformed + statistics.countOfFailed))
                                        .arg(countText(statistics.totalCount)));
            QStringList lines;
            for (const auto& line : m_merge->resultLines()) lines << toQString(line);
            if (statistics.countOfNotPerformed > 0)
                lines << toQString(MergeTexts::notPerformedLine(statistics.countOfNotPerformed));
            if (const auto& removal = m_merge->sourceFolderOutcome()) {
                const std::string line =
                    MergeTexts::sourceFolderLine(*removal, m_merge->sourceFolder()->name(),
                                                 m_merge->destinationFolder()->name(),
                                                 [](std::string_view name) { return std::string(name); });
                if (!line.empty()) lines << toQString(line);
            }
            m_result->setText(lines.join(QLatin1Char('\n')));
            m_items->headerItem()->setText(whatColumn, QStringLiteral("What Happened"));
            fillItems();
            emit mergeEnded();
            break;
        }
    }
}

void MergeDialog::showProgress(double done, double total, std::uint64_t filesDone, std::uint64_t filesTotal) {
    const double part = total > 0 ? done / total : (filesTotal ? double(filesDone) / double(filesTotal) : 0.0);
    m_progress->setValue(static_cast<int>(part * kProgressRange));
    if (!m_stopping)
        m_progressText->setText(QStringLiteral("%1 of %2 files").arg(countText(filesDone), countText(filesTotal)));
}

QString MergeDialog::planOf(const MergeItem& item) const {
    if (!item.canBeMerged()) return QStringLiteral("Left out: only files and folders are merged");
    if (const auto& action = item.action()) {
        QString text = QStringLiteral("Will be %1").arg(participle(*action));
        if (item.plannedName() != item.name()) text += QStringLiteral(" as %1").arg(quoted(item.plannedName()));
        return text;
    }
    const MergeFolder& destination = *m_merge->destinationFolder();
    const auto copies = destination.copiesOf(item);
    for (const MergeItem* copy : copies)
        if (copy->name() == item.name()) return QStringLiteral("Already in %1").arg(quoted(destination.name()));
    if (!copies.empty())
        return QStringLiteral("In %1 as %2").arg(quoted(destination.name()), quoted(copies.front()->name()));
    return QStringLiteral("Not merged");
}

QString MergeDialog::outcomeOf(const MergeItem& item) const {
    if (!item.action()) return planOf(item);
    for (const auto& result : m_merge->results()) {
        if (result.originalURL != item.url()) continue;
        const MergeAction action = result.originalRemoved || result.action == MergeAction::Copy
                                       ? result.action
                                       : MergeAction::Copy;
        switch (result.result.kind) {
            case FileOperationResult::Kind::Successful: {
                const std::string_view path = result.destinationURL;
                const std::string_view name = path.substr(path.rfind('/') + 1);
                QString text = capitalParticiple(action);
                if (name != item.name()) text += QStringLiteral(" as %1").arg(quoted(name));
                return text;
            }
            case FileOperationResult::Kind::Failed:
                return QStringLiteral("Could not be %1: %2")
                    .arg(participle(result.action),
                         result.result.error ? firstLine(result.result.error->message) : QString());
            case FileOperationResult::Kind::Unknown: return QStringLiteral("Not merged: the merge was stopped");
        }
    }
    return planOf(item);
}

void MergeDialog::fillItems() {
    const bool done = m_merge->state() == MergeState::ViewResult;
    m_items->clear();
    const MergeFolder& source = *m_merge->sourceFolder();
    const auto addGroup = [&](std::string_view title, const std::vector<const MergeItem*>& items) {
        auto* group = new QTreeWidgetItem(m_items, {toQString(title)});
        QFont font = group->font(nameColumn);
        font.setBold(true);
        group->setFont(nameColumn, font);
        group->setFirstColumnSpanned(true);
        group->setFlags(Qt::ItemIsEnabled);
        for (const MergeItem* item : items) {
            auto* row = new QTreeWidgetItem(group);
            row->setText(nameColumn, toQString(item->name()) + (item->isFolder() ? QStringLiteral("/") : QString()));
            row->setToolTip(nameColumn, toQString(item->url()));
            row->setIcon(nameColumn, themeIcon(item->isFolder() ? QStringLiteral("folder")
                                                                : QStringLiteral("text-x-generic")));
            row->setText(sizeColumn, sizeText(item->size()));
            row->setTextAlignment(sizeColumn, Qt::AlignRight | Qt::AlignVCenter);
            const QString what = done ? outcomeOf(*item) : planOf(*item);
            row->setText(whatColumn, what);
            row->setToolTip(whatColumn, what);
            if (done && item->action() && item->error())
                row->setIcon(whatColumn, style()->standardIcon(QStyle::SP_MessageBoxWarning));
        }
        group->setExpanded(true);
    };
    std::vector<const MergeItem*> unique;
    std::vector<const MergeItem*> duplicates;
    for (const auto& item : source.items()) (source.isDuplicate(*item) ? duplicates : unique).push_back(item.get());
    addGroup(MergeTexts::kUniqueFilesTitle, unique);
    addGroup(MergeTexts::kDuplicateFilesTitle, duplicates);
}

}  // namespace kestrane::gui
