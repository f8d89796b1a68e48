#pragma once

#include <QImage>
#include <QWidget>

#include <cstdint>
#include <string>

class QLabel;
class QPlainTextEdit;
class QPushButton;
class QStackedWidget;

namespace kestrane::gui {

// The preview of the current copy: an image scaled to fit (decoded off the
// GUI thread), the beginning of a text file, or the icon and the type of any
// other file; its name, folder, size and date; Open and Show in Folder.
class PreviewPane final : public QWidget {
    Q_OBJECT

public:
    explicit PreviewPane(QWidget* parent = nullptr);

    // Shows the file at the path (nothing for an empty path).
    void showFile(const std::string& path);
    const std::string& path() const { return m_path; }
    // What is shown: "image", "text", "icon" or "" (nothing).
    QString shownKind() const;

    static constexpr qint64 kTextPreviewBytes = 16 * 1024;
    static constexpr int kImageExtent = 1600;

signals:
    void imageShown();

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void loadImage();
    void fitImage();

    std::string m_path;
    std::uint64_t m_request = 0;  // the image load that may still show
    QImage m_loaded;              // decoded at most kImageExtent on its longer side
    QStackedWidget* m_stack;
    QLabel* m_image;
    QPlainTextEdit* m_text;
    QLabel* m_icon;
    QLabel* m_empty;
    QLabel* m_name;
    QLabel* m_details;
    QPushButton* m_open;
    QPushButton* m_reveal;
};

}  // namespace kestrane::gui
