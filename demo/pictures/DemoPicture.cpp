#include "DemoPicture.h"

#include <array>

#include <QColor>
#include <QPainter>
#include <QRect>
#include <QStringList>

namespace klv::storeservice {

using namespace Qt::StringLiterals;

namespace {

// 5×7 block letters A–Z, one row per byte, the leftmost cell in bit 4.
constexpr std::array<std::array<quint8, 7>, 26> glyphs{{
    {0b01110, 0b10001, 0b10001, 0b11111, 0b10001, 0b10001, 0b10001},
    {0b11110, 0b10001, 0b10001, 0b11110, 0b10001, 0b10001, 0b11110},
    {0b01110, 0b10001, 0b10000, 0b10000, 0b10000, 0b10001, 0b01110},
    {0b11110, 0b10001, 0b10001, 0b10001, 0b10001, 0b10001, 0b11110},
    {0b11111, 0b10000, 0b10000, 0b11110, 0b10000, 0b10000, 0b11111},
    {0b11111, 0b10000, 0b10000, 0b11110, 0b10000, 0b10000, 0b10000},
    {0b01110, 0b10001, 0b10000, 0b10111, 0b10001, 0b10001, 0b01111},
    {0b10001, 0b10001, 0b10001, 0b11111, 0b10001, 0b10001, 0b10001},
    {0b01110, 0b00100, 0b00100, 0b00100, 0b00100, 0b00100, 0b01110},
    {0b00111, 0b00010, 0b00010, 0b00010, 0b00010, 0b10010, 0b01100},
    {0b10001, 0b10010, 0b10100, 0b11000, 0b10100, 0b10010, 0b10001},
    {0b10000, 0b10000, 0b10000, 0b10000, 0b10000, 0b10000, 0b11111},
    {0b10001, 0b11011, 0b10101, 0b10101, 0b10001, 0b10001, 0b10001},
    {0b10001, 0b10001, 0b11001, 0b10101, 0b10011, 0b10001, 0b10001},
    {0b01110, 0b10001, 0b10001, 0b10001, 0b10001, 0b10001, 0b01110},
    {0b11110, 0b10001, 0b10001, 0b11110, 0b10000, 0b10000, 0b10000},
    {0b01110, 0b10001, 0b10001, 0b10001, 0b10101, 0b10010, 0b01101},
    {0b11110, 0b10001, 0b10001, 0b11110, 0b10100, 0b10010, 0b10001},
    {0b01111, 0b10000, 0b10000, 0b01110, 0b00001, 0b00001, 0b11110},
    {0b11111, 0b00100, 0b00100, 0b00100, 0b00100, 0b00100, 0b00100},
    {0b10001, 0b10001, 0b10001, 0b10001, 0b10001, 0b10001, 0b01110},
    {0b10001, 0b10001, 0b10001, 0b10001, 0b10001, 0b01010, 0b00100},
    {0b10001, 0b10001, 0b10001, 0b10101, 0b10101, 0b10101, 0b01010},
    {0b10001, 0b10001, 0b01010, 0b00100, 0b01010, 0b10001, 0b10001},
    {0b10001, 0b10001, 0b01010, 0b00100, 0b00100, 0b00100, 0b00100},
    {0b11111, 0b00001, 0b00010, 0b00100, 0b01000, 0b10000, 0b11111},
}};
constexpr int glyphWidth = 5;
constexpr int glyphHeight = 7;
constexpr int cell = 4;

// The part of a 120×120 picture the app shows as the thumbnail.
constexpr QRect thumbnail(24, 20, 50, 50);

// The first of these kind words that the location holds decides the hue.
int kindHue(const QString &location) {
    static const std::array<std::pair<QString, int>, 6> hues{{
        {u"Multiple"_s, 350},
        {u"Composite"_s, 45},
        {u"Effects"_s, 20},
        {u"Generators"_s, 140},
        {u"Titles"_s, 210},
        {u"Transitions"_s, 280},
    }};
    for (const auto &[word, hue] : hues) {
        if (location.contains(word)) {
            return hue;
        }
    }
    return 180;
}

// Products of one kind differ a little in hue, the same name always the same way.
int nameShift(const QString &productName) {
    unsigned sum = 0;
    for (const QChar character : productName) {
        sum = sum * 31U + character.unicode();
    }
    return static_cast<int>(sum % 41U) - 20;
}

void drawLetter(QPainter &painter, char letter, int left, int top) {
    const auto &rows = glyphs.at(static_cast<std::size_t>(letter - 'A'));
    for (int row = 0; row < glyphHeight; ++row) {
        const int bits = rows.at(static_cast<std::size_t>(row));
        for (int column = 0; column < glyphWidth; ++column) {
            if ((bits >> (glyphWidth - 1 - column)) & 1) {
                painter.fillRect(left + column * cell, top + row * cell, cell, cell, Qt::white);
            }
        }
    }
}

// The first letters of the first two words that start with a Latin letter, accents dropped, in upper case.
QString initials(const QString &productName) {
    QString letters;
    for (const QString &word : productName.split(u' ', Qt::SkipEmptyParts)) {
        const QChar first = word.normalized(QString::NormalizationForm_D).front().toUpper();
        if (first >= u'A' && first <= u'Z') {
            letters += first;
            if (letters.size() == 2) {
                break;
            }
        }
    }
    return letters;
}

} // namespace

QImage DemoPicture::draw(const QString &productName, const QString &location) {
    QImage image(size * scale, size * scale, QImage::Format_RGB32);
    const int hue = (kindHue(location) + nameShift(productName) + 360) % 360;
    image.fill(QColor::fromHsv(hue, 150, 120));

    QPainter painter(&image);
    painter.scale(scale, scale);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor::fromHsv(hue, 170, 200));
    // Square: the app rounds the thumbnail itself at the size it shows it; corners rounded here, six times enlarged
    // on the product page, showed the darker frame as blurred smudges.
    painter.drawRect(thumbnail);

    const QString letters = initials(productName);
    const int width = static_cast<int>(letters.size()) * (glyphWidth + 1) * cell - cell;
    int left = thumbnail.center().x() + 1 - width / 2;
    const int top = thumbnail.center().y() + 1 - glyphHeight * cell / 2;
    for (const QChar letter : letters) {
        drawLetter(painter, letter.toLatin1(), left, top);
        left += (glyphWidth + 1) * cell;
    }
    return image;
}

} // namespace klv::storeservice
