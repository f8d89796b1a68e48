#include "gui/PreviewPane.h"

#include "gui/FileActions.h"
#include "gui/GuiText.h"
#include "platform/MainQueue.h"
#include "platform/OperationQueue.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QIcon>
#include <QImage>
#include <QImageReader>
#include <QLabel>
#include <QLocale>
#include <QMimeDatabase>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QStackedWidget>
#include <QStringDecoder>
#include <QVBoxLayout>

namespace kestrane::gui {

PreviewPane::PreviewPane(QWidget* parent) : QWidget(parent) {
    auto* layout = new QVBoxLayout(this);
    m_stack = new QStackedWidget(this);
    m_empty = new QLabel(QStringLiteral("Select a copy to see it here."), this);
    m_empty->setAlignment(Qt::AlignCenter);
    m_empty->setWordWrap(true);
    m_empty->setForegroundRole(QPalette::PlaceholderText);
    m_image = new QLabel(this);
    m_image->setAlignment(Qt::AlignCenter);
    m_image->setMinimumSize(64, 64);
    m_image->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);
    m_text = new QPlainTextEdit(this);
    m_text->setReadOnly(true);
    m_text->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    m_icon = new QLabel(this);
    m_icon->setAlignment(Qt::AlignCenter);
    m_stack->addWidget(m_empty);
    m_stack->addWidget(m_image);
    m_stack->addWidget(m_text);
    m_stack->addWidget(m_icon);
    layout->addWidget(m_stack, 1);

    m_name = new QLabel(this);
    m_name->setWordWrap(true);
    m_name->setTextInteractionFlags(Qt::TextSelectableByMouse);
    QFont bold = m_name->font();
    bold.setBold(true);
    m_name->setFont(bold);
    m_details = new QLabel(this);
    m_details->setWordWrap(true);
    m_details->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(m_name);
    layout->addWidget(m_details);

    auto* buttons = new QHBoxLayout;
    m_open = new QPushButton(themeIcon(QStringLiteral("document-open")), QStringLiteral("Open"), this);
    m_reveal = new QPushButton(themeIcon(QStringLiteral("folder-open")), QStringLiteral("Show in Folder"), this);
    m_open->setToolTip(QStringLiteral("Open the file with its default application"));
    m_reveal->setToolTip(QStringLiteral("Show the file in the file manager"));
    buttons->addWidget(m_open);
    buttons->addWidget(m_reveal);
    buttons->addStretch();
    layout->addLayout(buttons);
    connect(m_open, &QPushButton::clicked, this, [this] { FileActions::openWithDefaultApplication(m_path); });
    connect(m_reveal, &QPushButton::clicked, this, [this] { FileActions::showInFileManager(m_path); });
    showFile({});
}

QString PreviewPane::shownKind() const {
    if (m_path.empty()) return {};
    if (m_stack->currentWidget() == m_image) return QStringLiteral("image");
    if (m_stack->currentWidget() == m_text) return QStringLiteral("text");
    return QStringLiteral("icon");
}

void PreviewPane::showFile(const std::string& path) {
    m_path = path;
    ++m_request;
    m_loaded = QImage();
    const bool any = !path.empty();
    m_open->setEnabled(any);
    m_reveal->setEnabled(any);
    if (!any) {
        m_stack->setCurrentWidget(m_empty);
        m_name->clear();
        m_details->clear();
        return;
    }
    const QString file = toQString(path);
    const QFileInfo info(file);
    m_name->setText(info.fileName());
    const QMimeDatabase mimes;
    const QMimeType mime = mimes.mimeTypeForFile(info);
    QStringList details{info.absolutePath(), mime.comment()};
    if (info.isFile()) details << sizeText(static_cast<std::uint64_t>(info.size()));
    if (info.exists()) details << QLocale().toString(info.lastModified(), QLocale::ShortFormat);
    else details << QStringLiteral("The file is no longer there.");
    m_details->setText(details.join(QLatin1Char('\n')));

    if (info.isFile() && mime.name().startsWith(QLatin1String("image/")) &&
        QImageReader::supportedMimeTypes().contains(mime.name().toLatin1())) {
        m_image->setPixmap({});
        m_image->setText(QStringLiteral("Loading…"));
        m_stack->setCurrentWidget(m_image);
        loadImage();
        return;
    }
    if (info.isFile() && mime.inherits(QStringLiteral("text/plain"))) {
        QFile text(file);
        if (text.open(QIODevice::ReadOnly)) {
            QStringDecoder decoder(QStringDecoder::Utf8);
            m_text->setPlainText(decoder(text.read(kTextPreviewBytes)));
            m_stack->setCurrentWidget(m_text);
            return;
        }
    }
    QIcon icon = themeIcon(mime.iconName(), themeIcon(mime.genericIconName()));
    if (icon.isNull()) icon = themeIcon(info.isDir() ? QStringLiteral("folder") : QStringLiteral("text-x-generic"));
    m_icon->setPixmap(icon.pixmap(QSize(96, 96), devicePixelRatioF()));
    m_stack->setCurrentWidget(m_icon);
}

void PreviewPane::fitImage() {
    if (m_loaded.isNull()) return;
    const qreal ratio = devicePixelRatioF();
    const QSize room = (m_stack->size() * ratio).boundedTo(m_loaded.size());
    QPixmap pixmap = QPixmap::fromImage(m_loaded.scaled(room, Qt::KeepAspectRatio, Qt::SmoothTransformation));
    pixmap.setDevicePixelRatio(ratio);
    m_image->setPixmap(pixmap);
}

void PreviewPane::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    fitImage();
}

void PreviewPane::loadImage() {
    const QString file = toQString(m_path);
    const QSize box(kImageExtent, kImageExtent);
    const std::uint64_t request = m_request;
    QPointer<PreviewPane> self(this);
    // Decoded on the core's background queue and handed back through the main
    // queue, which runs in Qt's event loop: a large photo never stalls the window.
    platform::backgroundQueue().addOperation([self, file, box, request] {
        QImageReader reader(file);
        reader.setAutoTransform(true);
        const QSize size = reader.size();
        if (size.isValid() && (size.width() > box.width() || size.height() > box.height()))
            reader.setScaledSize(size.scaled(box, Qt::KeepAspectRatio));
        platform::MainQueue::shared().async([self, image = reader.read(), request] {
            if (!self || self->m_request != request) return;
            self->m_loaded = image;
            if (image.isNull()) self->m_image->setText(QStringLiteral("The image cannot be shown."));
            else self->fitImage();
            emit self->imageShown();
        });
    });
}

}  // namespace kestrane::gui
