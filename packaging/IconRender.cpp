// Renders the application's SVG icon as the PNG sizes of the hicolor icon theme: klv-icon-render SVG FOLDER SIZE...
// writes FOLDER/<size>x<size>/apps/klv-app.png for each size.
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>

#include <cstdio>

int main(int argc, char *argv[]) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QStringList arguments = QGuiApplication::arguments();
    if (arguments.size() < 4) {
        std::fputs("Usage: klv-icon-render SVG FOLDER SIZE...\n", stderr);
        return 2;
    }
    QSvgRenderer renderer(arguments.at(1));
    if (!renderer.isValid()) {
        std::fprintf(stderr, "%s is not a readable SVG drawing\n", qPrintable(arguments.at(1)));
        return 1;
    }
    for (const QString &sizeText : arguments.mid(3)) {
        const int size = sizeText.toInt();
        const QString folder = arguments.at(2) + QStringLiteral("/%1x%1/apps").arg(size);
        QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        renderer.render(&painter);
        painter.end();
        if (size <= 0 || !QDir().mkpath(folder) || !image.save(folder + QStringLiteral("/klv-app.png"))) {
            std::fprintf(stderr, "The %s pixel icon could not be written to %s\n", qPrintable(sizeText),
                         qPrintable(folder));
            return 1;
        }
    }
    return 0;
}
