#include "cli/WordWrap.h"

#include <QStringList>

namespace klv::cli {

QString wordWrap(const QString &text, int width) {
    QStringList lines;
    for (const QString &paragraph : text.split(u'\n')) {
        QString line;
        for (const QString &word : paragraph.split(u' ', Qt::SkipEmptyParts)) {
            if (!line.isEmpty() && line.size() + 1 + word.size() > width) {
                lines.append(line);
                line.clear();
            }
            line += line.isEmpty() ? word : u' ' + word;
        }
        lines.append(line);
    }
    return lines.join(u'\n');
}

} // namespace klv::cli
