// Turns the user manual, written as Markdown text with its pictures beside it, into the PDF file
// that "Hilfe" opens:
//   veltra-manual-writer MANUAL.md PICTURE_DIR OUTPUT.pdf
// Pictures are named in the text by their file names in PICTURE_DIR; a picture wider than the
// page's text is shrunk to fit. Runs under the offscreen platform; needs no display.
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QPageLayout>
#include <QPageSize>
#include <QPdfWriter>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextFragment>
#include <QTextImageFormat>

#include <cstdio>
#include <vector>

namespace {

// Text width of an A4 page with 20 mm margins, in the document's pixels (96 per inch).
constexpr double kTextWidth = (210.0 - 40.0) / 25.4 * 96.0;

// Each picture with its size; none may be missing, so that a renamed window picture shows up
// as a build failure instead of a hole in the manual.
bool addPictures(QTextDocument& document, const QDir& pictures) {
    bool ok = true;
    std::vector<std::pair<int, QTextImageFormat>> images;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            if (!fragment.charFormat().isImageFormat()) {
                continue;
            }
            QTextImageFormat format = fragment.charFormat().toImageFormat();
            const QImage image(pictures.filePath(format.name()));
            if (image.isNull()) {
                std::fprintf(stderr, "missing picture %s\n", qPrintable(format.name()));
                ok = false;
                continue;
            }
            document.addResource(QTextDocument::ImageResource, QUrl(format.name()), image);
            const double scale = std::min(1.0, kTextWidth / image.width());
            format.setWidth(image.width() * scale);
            format.setHeight(image.height() * scale);
            images.emplace_back(fragment.position(), format);
        }
    }
    for (const auto& [position, format] : images) {
        QTextCursor cursor(&document);
        cursor.setPosition(position);
        cursor.setPosition(position + 1, QTextCursor::KeepAnchor);
        cursor.setCharFormat(format);
    }
    return ok;
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc != 4) {
        std::fputs("usage: veltra-manual-writer MANUAL.md PICTURE_DIR OUTPUT.pdf\n", stderr);
        return 2;
    }
    QFile source(QString::fromLocal8Bit(argv[1]));
    if (!source.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "cannot read %s\n", argv[1]);
        return 1;
    }
    QTextDocument document;
    document.setMarkdown(QString::fromUtf8(source.readAll()));
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPointSizeF(10);
    document.setDefaultFont(font);
    if (!addPictures(document, QDir(QString::fromLocal8Bit(argv[2])))) {
        return 1;
    }

    QPdfWriter writer(QString::fromLocal8Bit(argv[3]));
    writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                                     QMarginsF(20, 20, 20, 20), QPageLayout::Millimeter));
    writer.setResolution(300);
    writer.setCreator(QStringLiteral("Quarnel Veltra"));
    const QTextBlock first = document.firstBlock();
    writer.setTitle(first.text());
    document.print(&writer);
    if (!QFile::exists(QString::fromLocal8Bit(argv[3]))) {
        std::fprintf(stderr, "cannot write %s\n", argv[3]);
        return 1;
    }
    return 0;
}
