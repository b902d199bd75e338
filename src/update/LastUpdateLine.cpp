#include "update/LastUpdateLine.h"

#include "marketing/SaleCountdown.h"
#include "store/Services.h"

#include <QFileInfo>
#include <QTimeZone>

namespace klv {

using namespace Qt::StringLiterals;

QString lastUpdateLine(Services &services, const CreationDateReader &readCreationDate) {
    const QString application = services.locations().appBundleURL;
    std::optional<QDateTime> installDate;
    if (QFileInfo::exists(application)) {
        installDate = readCreationDate(application);
        if (!installDate)
            services.reporter().appendLog(u"Failed to get the creation date of the file"_s);
    }
    services.sharedDateFormatter.dateFormat = u"yyyy-MM-dd"_s;
    // Moving helps only an application that replaces itself there; the package manager keeps a packaged one
    // where it belongs.
    if (!installDate)
        return services.configuration().selfUpdate ? u"Please move the KLV App to your Applications folder."_s
                                                   : QString();

    const QString dateText = services.sharedDateFormatter.string(*installDate);
    const qint64 days = SaleCountdown::between(*installDate, services.clock()(), QTimeZone::systemTimeZone()).days;
    if (days < 2)
        return u"Last Update: "_s + dateText;
    return u"Last Update "_s + dateText + u' ';
}

} // namespace klv
