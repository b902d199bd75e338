#include "WindowSandbox.h"

#include "SyntheticLibrary.h"
#include "core/Configuration.h"
#include "core/Locations.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLinearGradient>
#include <QPainter>
#include <QProcessEnvironment>

#include <map>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace klv::bench {

namespace {

constexpr int pictureSide = 300;
const QString commitId = u"window-bench-1"_s;

// A product picture as the store sends them: a square PNG with gradients and antialiased shapes, some tens of
// kilobytes.
QByteArray pictureBytes() {
    QImage picture(pictureSide, pictureSide, QImage::Format_RGB32);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    QLinearGradient background(0, 0, pictureSide, pictureSide);
    background.setColorAt(0, QColor(20, 24, 60));
    background.setColorAt(1, QColor(200, 90, 40));
    painter.fillRect(picture.rect(), background);
    for (int ring = 0; ring < 12; ++ring) {
        painter.setPen(QPen(QColor::fromHsv(ring * 30, 180, 230), 3.0 + ring % 3));
        painter.drawEllipse(QPointF(pictureSide / 2.0, pictureSide / 2.0), 12.0 * ring + 6, 9.0 * ring + 4);
    }
    painter.end();
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    picture.save(&buffer, "PNG");
    return bytes;
}

bool writeFile(const QString &path, const QByteArray &bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

} // namespace

bool WindowSandbox::ready() {
    if (!m_ready)
        m_ready = prepare();
    return *m_ready;
}

bool WindowSandbox::prepare() {
    if (!m_root.isValid())
        return fail(u"no temporary folder: "_s + m_root.errorString());
    enterHome();
    if (!writeCatalog() || !startStore() || !writePictures() || !makeInstalledFolders() || !signIn())
        return false;
    return true;
}

void WindowSandbox::enterHome() {
    const QString home = m_root.filePath(u"home"_s);
    const std::map<QByteArray, QString> folders{{"HOME", QString()},
                                                {"XDG_DATA_HOME", u"/.local/share"_s},
                                                {"XDG_CONFIG_HOME", u"/.config"_s},
                                                {"XDG_CACHE_HOME", u"/.cache"_s},
                                                {"XDG_RUNTIME_DIR", u"/.runtime"_s}};
    for (const auto &[name, relative] : folders) {
        QDir().mkpath(home + relative);
        qputenv(name.constData(), QFile::encodeName(home + relative));
    }
    QFile::setPermissions(home + u"/.runtime"_s, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    qunsetenv("XDG_VIDEOS_DIR");
}

bool WindowSandbox::writeCatalog() {
    const SyntheticLibrary library;
    QJsonArray products;
    QJsonArray owned;
    for (const OutlineViewItem &record : library.records) {
        QJsonObject product = productDictionary(record);
        product.insert(u"product_image_url"_s, QString(u"{store}/files/pictures/"_s + record.post_name + u".png"_s));
        products.append(product);
        owned.append(record.product_id);
    }
    const QJsonObject account{{u"user"_s, u"bench"_s},
                              {u"password"_s, u"bench"_s},
                              {u"name"_s, u"Bench Customer"_s},
                              {u"email"_s, u"bench@klv.example"_s},
                              {u"products"_s, owned}};
    const QJsonObject catalog{
        {u"commitID"_s, commitId}, {u"accounts"_s, QJsonArray{account}}, {u"products"_s, products}};
    if (!QDir().mkpath(m_root.filePath(u"catalog/files"_s)) ||
        !writeFile(m_root.filePath(u"catalog/store.json"_s), QJsonDocument(catalog).toJson(QJsonDocument::Compact)))
        return fail(u"the catalog could not be written"_s);
    return true;
}

bool WindowSandbox::startStore() {
    if (!m_store.start())
        return fail(m_store.errorString());
    // Every address the programs may reach points at the store on loopback.
    const QString url = m_store.url();
    qputenv("KLV_STORE_URL", url.toUtf8());
    qputenv("KLV_PLUGIN_SITE_URL", (url + u"/files/plugins/"_s).toUtf8());
    qputenv("KLV_FONT_STORE_URL", (url + u"/files/fonts/"_s).toUtf8());
    qputenv("KLV_DOWNLOAD_BUCKET_URL", (url + u"/files/bucket/"_s).toUtf8());
    qputenv("KLV_LOGO_URL", (url + u"/files/logo.png"_s).toUtf8());
    qputenv("KLV_TUTORIAL_URL", (url + u"/tutorials/"_s).toUtf8());
    return true;
}

bool WindowSandbox::writePictures() {
    const Configuration configuration = Configuration::fromEnvironment();
    const QString folder =
        Locations::forCurrentUser(configuration.groupId, configuration.bundleId).productImageFolderURL;
    if (!QDir().mkpath(folder))
        return fail(u"the picture folder could not be made"_s);
    const QByteArray bytes = pictureBytes();
    for (const OutlineViewItem &record : SyntheticLibrary().records) {
        if (!writeFile(folder + record.product_name + u".png"_s, bytes))
            return fail(u"a picture could not be written"_s);
    }
    return true;
}

bool WindowSandbox::makeInstalledFolders() {
    const Configuration configuration = Configuration::fromEnvironment();
    const Locations locations = Locations::forCurrentUser(configuration.groupId, configuration.bundleId);
    for (const SyntheticLibrary::Installed &folder : SyntheticLibrary().installed) {
        if (!QDir().mkpath(locations.motionFolderByCategory.value(folder.category) + u"KLV - "_s + folder.productName))
            return fail(u"an installed template folder could not be made"_s);
    }
    return true;
}

bool WindowSandbox::signIn() {
    const QString passwordFile = m_root.filePath(u"password.txt"_s);
    if (!writeFile(passwordFile, "bench\n"))
        return fail(u"the password file could not be written"_s);
    const QString klv = QStringLiteral(KLV_CLI_BINARY);
    if (checked(u"klv login"_s,
                runChild({klv, u"login"_s, u"bench"_s, u"--password-stdin"_s},
                         QProcessEnvironment::systemEnvironment().toStringList(), outputFile(), passwordFile))
            .exitCode != 0)
        return false;
    // The first listing downloads the library, stores the cache and maps the pictures already on disk.
    return klvList().exitCode == 0;
}

ChildRun WindowSandbox::klvList() {
    return checked(u"klv list"_s, runChild({QStringLiteral(KLV_CLI_BINARY), u"list"_s, u"--json"_s},
                                           QProcessEnvironment::systemEnvironment().toStringList(), outputFile()));
}

ChildRun WindowSandbox::self(const QStringList &arguments) {
    return checked(u"the window probe"_s,
                   runChild(QStringList{QCoreApplication::applicationFilePath()} + arguments,
                            QProcessEnvironment::systemEnvironment().toStringList(), outputFile()));
}

ChildRun WindowSandbox::checked(const QString &what, const ChildRun &run) {
    if (run.exitCode != 0) {
        QFile output(outputFile());
        output.open(QIODevice::ReadOnly);
        fail(what + u" failed (exit code "_s + QString::number(run.exitCode) + u"): "_s +
             QString::fromLocal8Bit(output.readAll().right(600)));
    }
    return run;
}

bool WindowSandbox::fail(const QString &error) {
    m_error = error;
    return false;
}

} // namespace klv::bench
