#include "SyntheticLibrary.h"

#include <array>

using namespace Qt::StringLiterals;

namespace klv::bench {

namespace {

constexpr qsizetype membersPerGroup = 5;
constexpr qsizetype installedGroupsPerFive = 2;
constexpr qsizetype installedOrdinaryStep = 4;

// 25 × 20 × 20 = 10,000 distinct names.
constexpr std::array styles{"Glow"_L1,   "Neon"_L1,    "Cinematic"_L1, "Kinetic"_L1, "Smooth"_L1,
                            "Retro"_L1,  "Glitch"_L1,  "Vintage"_L1,   "Minimal"_L1, "Urban"_L1,
                            "Epic"_L1,   "Dreamy"_L1,  "Grunge"_L1,    "Liquid"_L1,  "Paper"_L1,
                            "Sketch"_L1, "Elegant"_L1, "Bold"_L1,      "Clean"_L1,   "Dynamic"_L1,
                            "Modern"_L1, "Organic"_L1, "Pixel"_L1,     "Cosmic"_L1,  "Warm"_L1};
constexpr std::array themes{"Wedding"_L1, "Travel"_L1,  "Sports"_L1,      "Corporate"_L1, "Fashion"_L1,
                            "Music"_L1,   "Gaming"_L1,  "Nature"_L1,      "Holiday"_L1,   "Tech"_L1,
                            "Food"_L1,    "Fitness"_L1, "Documentary"_L1, "News"_L1,      "Social"_L1,
                            "Cinema"_L1,  "Comic"_L1,   "Horror"_L1,      "Kids"_L1,      "Summer"_L1};
constexpr std::array kinds{"Titles"_L1,      "Transitions"_L1, "Lower Thirds"_L1, "Logo Reveal"_L1,     "Overlays"_L1,
                           "Light Leaks"_L1, "Frames"_L1,      "Backgrounds"_L1,  "Callouts"_L1,        "Slideshow"_L1,
                           "Openers"_L1,     "Pack"_L1,        "Effects"_L1,      "Text Animations"_L1, "Glitches"_L1,
                           "Wipes"_L1,       "Particles"_L1,   "Badges"_L1,       "Subtitles"_L1,       "Toolkit"_L1};
constexpr std::array categories{"Effects"_L1, "Generators"_L1, "Titles"_L1, "Transitions"_L1};

QString productName(qsizetype index) {
    // 7919 is prime to 10,000, so neighbouring records get unrelated names.
    const qsizetype combination = index * 7919 % SyntheticLibrary::recordCount;
    const auto style = size_t(combination % qsizetype(styles.size()));
    const auto theme = size_t(combination / qsizetype(styles.size()) % qsizetype(themes.size()));
    const auto kind = size_t(combination / qsizetype(styles.size() * themes.size()));
    return u"%1 %2 %3"_s.arg(styles[style], themes[theme], kinds[kind]);
}

OutlineViewItem makeRecord(qsizetype index, const QString &name, const QString &location, qint64 parent) {
    OutlineViewItem item;
    item.product_id = 1'000 + index;
    item.product_name = name;
    item.post_name = name.toLower().replace(u' ', u'-');
    item.product_image_url = u"https://store.example.com/pictures/"_s + item.post_name + u".png"_s;
    item.product_fileSize = 20'000'000 + item.product_id * 7919 % 900'000'000;
    item.product_location = location;
    item.parentID = parent;
    item.armCompatiable = index % 2 == 0;
    item.mainApplicationType = u"FCP"_s;
    return item;
}

} // namespace

SyntheticLibrary::SyntheticLibrary() {
    records.reserve(recordCount);
    constexpr qsizetype groupedRecords = groupCount * (membersPerGroup + 1);
    for (qsizetype index = 0; index < recordCount; ++index) {
        const QString name = productName(index);
        const QString category = categories[size_t(index % qsizetype(categories.size()))];
        const qsizetype group = index / (membersPerGroup + 1);
        const qsizetype groupIndex = group * (membersPerGroup + 1);
        bool installedRecord = false;
        if (index == groupIndex && index < groupedRecords) {
            OutlineViewItem record = makeRecord(index, name + u" Bundle"_s, u"Multiple"_s, 0);
            for (qsizetype member = 1; member <= membersPerGroup; ++member)
                record.children.append(productName(index + member));
            records.append(record);
            continue;
        }
        if (index < groupedRecords) {
            installedRecord = group % 5 < installedGroupsPerFive;
            records.append(makeRecord(index, name, category, records[groupIndex].product_id));
        } else {
            installedRecord = (index - groupedRecords) % installedOrdinaryStep == 0;
            records.append(makeRecord(index, name, category, 0));
        }
        if (installedRecord)
            installed.append({category, name});
    }
}

} // namespace klv::bench
