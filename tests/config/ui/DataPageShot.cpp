// Saves pictures of the data format page for a layout review:
//   data_page_shot <folder>
// writes data-blocks.png (single blocks, Hitag2 with password) and data-sequence.png (block
// sequence) of a reader with every feature, and data-basic.png of an older reader with none,
// each of a page shown in a tab like the configuration sheet does. Run under a
// display (xvfb-run -a); QT_SCALE_FACTOR=2 gives the 200 % pictures.
#include "config/ui/CDatenRegisterkarteSeriell.h"

#include <QApplication>
#include <QDir>
#include <QTabWidget>

#include <cstdio>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: data_page_shot <folder>\n");
        return 2;
    }
    const QDir folder(QString::fromLocal8Bit(argv[1]));
    const std::uint32_t features = ((1u << 21) - 1) & ~(1u << 9);

    veltra::DataFormatRecord blocks;
    blocks.active = 1;
    blocks.transponderType = veltra::chip::Hitag2;
    blocks.registers = {4, 5, 255, 255};
    blocks.byteMasks = {0x0F, 0x03, 255, 255};
    blocks.hitag2Password = "4D494B52";
    blocks.length = 16;
    blocks.validBytes = 8;
    blocks.typeIdLeft = 'H';

    veltra::DataFormatRecord sequence = blocks;
    sequence.transponderType = veltra::chip::ATA5577 | veltra::kBlockSequenceFlag;
    sequence.registers = {1, 12, 255, 255};
    sequence.alignment = 5;
    sequence.modSpeed = 6;

    veltra::DataFormatRecord unique;
    unique.active = 1;
    unique.registers = {veltra::format::Unique, 255, 255, 255};

    struct Shot {
        const char* name;
        std::uint32_t features;
        veltra::DataFormatRecord record;
    };
    int failures = 0;
    for (const Shot& shot :
         {Shot{"data-blocks.png", features, blocks}, Shot{"data-sequence.png", features, sequence},
          Shot{"data-basic.png", 0, unique}}) {
        const auto& [name, shotFeatures, record] = shot;
        QTabWidget sheet;
        auto* first = new veltra::CDatenRegisterkarteSeriell(shotFeatures, true);
        sheet.addTab(first, first->pageTitle());
        if ((shotFeatures & veltra::kSecondDataOutputFeature) != 0) {
            auto* second = new veltra::CDatenRegisterkarteSeriell(shotFeatures, false);
            second->setFirstDataPage(first);
            sheet.addTab(second, second->pageTitle());
        }
        first->setFromRecord(record);
        sheet.show();
        QApplication::processEvents();
        sheet.resize(sheet.sizeHint());
        QApplication::processEvents();
        const QString path = folder.filePath(QString::fromLatin1(name));
        if (!sheet.grab().save(path)) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
            ++failures;
        }
    }
    return failures == 0 ? 0 : 1;
}
