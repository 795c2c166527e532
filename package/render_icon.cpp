// Build-time tool: writes the program's meter picture as PNG files at the
// desktop's icon sizes, so the menu shows the same picture as the About box.
//   zolt_render_icon OUTPUT_DIR SIZE...   writes OUTPUT_DIR/SIZE.png for each size

#include "widgets/MeterIcon.h"

#include <QDir>
#include <QGuiApplication>
#include <QImage>

#include <cstdio>

int main(int argc, char* argv[])
{
    // Fonts need a GUI application, but nothing is shown.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);

    const QStringList args = QCoreApplication::arguments();
    if (args.size() < 3) {
        std::fprintf(stderr, "usage: zolt_render_icon OUTPUT_DIR SIZE...\n");
        return 2;
    }
    const QDir out(args.at(1));
    if (!out.mkpath(QStringLiteral("."))) {
        std::fprintf(stderr, "zolt_render_icon: cannot make %s\n", qPrintable(args.at(1)));
        return 1;
    }
    for (qsizetype i = 2; i < args.size(); ++i) {
        bool ok = false;
        const int side = args.at(i).toInt(&ok);
        if (!ok || side < 8 || side > 1024) {
            std::fprintf(stderr, "zolt_render_icon: bad size %s\n", qPrintable(args.at(i)));
            return 2;
        }
        const QString file = out.filePath(QStringLiteral("%1.png").arg(side));
        if (!meterIconImage(side).save(file, "PNG")) {
            std::fprintf(stderr, "zolt_render_icon: cannot write %s\n", qPrintable(file));
            return 1;
        }
    }
    return 0;
}
