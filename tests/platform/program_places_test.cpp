#include "platform/program_places.h"

#include <gtest/gtest.h>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QTemporaryDir>
#include <functional>

#include <unistd.h>

#include "platform/settings_folder.h"
#include "settings/module1.h"
#include "settings/profile_file.h"

namespace corvat {
namespace {

QString Read(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromLatin1(file.readAll()) : QStringLiteral("<absent>");
}

void Write(const QString& path, const QString& text) {
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(text.toLatin1());
}

// Every name and content under a folder, to prove it was not written to.
QString Snapshot(const QString& folder) {
    QString all;
    QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        all += path + QLatin1Char('=') + Read(path) + QLatin1Char('\n');
    }
    return all;
}

enum class Env { Xdg, HomeOnly };

TEST(ProgramPlacesTest, SettingsAreReadAndWrittenWhereTheUserMayWrite) {
    struct Row {
        const char* name;
        bool writable;
        const char* programIni;  // nullptr: none in the program folder
        const char* userIni;     // nullptr: none yet in the user's folder
        Env env;
        const char* settingsUnder;  // "program", "xdg" or "home"
        const char* portRead;
    };
    const Row rows[] = {
        {"WritableFirstRun", true, nullptr, nullptr, Env::Xdg, "program", ""},
        {"WritableKeepsItsOwn", true, "[System]\nComm=COM4\n", nullptr, Env::Xdg, "program", "COM4"},
        {"ReadOnlyFirstRun", false, nullptr, nullptr, Env::Xdg, "xdg", ""},
        {"ReadOnlyStartsFromProgramCopy", false, "[System]\nComm=COM4\n", nullptr, Env::Xdg, "xdg", "COM4"},
        {"ReadOnlyDefaultsToDotConfig", false, "[System]\nComm=COM4\n", nullptr, Env::HomeOnly, "home",
         "COM4"},
        {"ReadOnlyKeepsUsersOwn", false, "[System]\nComm=COM4\n", "[System]\nComm=COM2\n", Env::Xdg, "xdg",
         "COM2"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        QTemporaryDir root;
        ASSERT_TRUE(root.isValid());
        const QString programDir = root.path() + "/program/";
        const QString home = root.path() + "/home";
        const QString xdg = root.path() + "/xdg";
        const QString userIni = (row.env == Env::Xdg ? xdg : home + "/.config") + "/corvat/info.ini";
        ASSERT_TRUE(QDir().mkpath(programDir));
        if (row.programIni) Write(programDir + "info.ini", row.programIni);
        if (row.userIni) Write(userIni, row.userIni);
        const QString before = Snapshot(programDir);

        const QByteArray xdgBytes = QFile::encodeName(xdg);
        const QByteArray homeBytes = QFile::encodeName(home);
        const std::string userFolder =
            UserConfigFolder(row.env == Env::Xdg ? xdgBytes.constData() : nullptr, homeBytes.constData());
        const std::string program = QFile::encodeName(programDir).toStdString();
        const ProgramPlaces places = PlacesFor(program, row.writable, userFolder);
        ASSERT_TRUE(PrepareSettingsFolder(places, program).ok());
        const QString settings = QFile::decodeName(QByteArray::fromStdString(places.settingsFile));

        const QString expected = QString(row.settingsUnder) == "program" ? programDir + "info.ini" : userIni;
        EXPECT_EQ(QDir::cleanPath(settings), QDir::cleanPath(expected));
        EXPECT_EQ(ReadIniValue("System", "Comm", QString(), settings), row.portRead);
        EXPECT_TRUE(WriteProfileString(settings, "System", "Comm", "COM5").ok());
        EXPECT_TRUE(Read(expected).contains("Comm=COM5"));
        if (!row.writable) {
            EXPECT_EQ(Snapshot(programDir), before);
            // A folder the program makes is private: nothing for group and others.
            if (!row.userIni) {
                EXPECT_EQ(QFileInfo(QFileInfo(userIni).path()).permissions() & 0x0077, 0);
            }
            EXPECT_EQ(places.portFolders,
                      (std::vector<std::string>{
                          QFile::encodeName(QFileInfo(userIni).path()).toStdString() + "/ports/",
                          program + "ports/"}));
        } else {
            EXPECT_EQ(places.portFolders, std::vector<std::string>{program + "ports/"});
        }
    }
}

// Another user's folder, or one others may write to, is not used; a link planted under the first-use copy's
// name is replaced, never written through.
TEST(ProgramPlacesTest, SettingsFolderOnlyWhenPrivateToTheUser) {
    struct Row {
        const char* name;
        std::function<void(const QString& folder)> arrange;
        bool usable;
    };
    const auto chownTo = [](const QString& folder, uid_t owner) {
        ASSERT_EQ(::chown(QFile::encodeName(folder).constData(), owner, owner), 0);
    };
    const Row rows[] = {
        {"OwnedByAnotherUser", [&](const QString& folder) { chownTo(folder, ::geteuid() + 1); }, false},
        {"WritableByOthers",
         [](const QString& folder) { QFile::setPermissions(folder, QFile::Permissions(0x7777)); }, false},
        {"PlantedLink",
         [](const QString& folder) { QFile::link(folder + "/../victim", folder + "/info.ini.part"); }, true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        if (::geteuid() != 0 && QString(row.name) == "OwnedByAnotherUser") continue;  // only root gives away
        QTemporaryDir root;
        const QString program = root.filePath("program/"), folder = root.filePath("cfg/corvat");
        Write(program + "info.ini", "[System]\nComm=COM4\n");
        Write(root.filePath("cfg/victim"), "victim's own");
        ASSERT_TRUE(QDir().mkpath(folder));
        row.arrange(folder);
        const std::string programDir = QFile::encodeName(program).toStdString();
        const ProgramPlaces places =
            PlacesFor(programDir, false, QFile::encodeName(folder + "/").toStdString());
        const Result<> prepared = PrepareSettingsFolder(places, programDir);
        EXPECT_EQ(prepared.ok(), row.usable) << prepared.message().toStdString();
        EXPECT_EQ(prepared.message().contains(folder), !row.usable) << prepared.message().toStdString();
        EXPECT_EQ(Read(root.filePath("cfg/victim")), "victim's own");
        EXPECT_EQ(QFileInfo(folder + "/info.ini").isSymLink(), false);
        EXPECT_EQ(Read(folder + "/info.ini"), row.usable ? "[System]\nComm=COM4\n" : "<absent>");
    }
}

TEST(ProgramPlacesTest, UserFolderFollowsTheXdgRules) {
    EXPECT_EQ(UserConfigFolder("/x/cfg", "/home/u"), "/x/cfg/corvat/");
    EXPECT_EQ(UserConfigFolder("/x/cfg/", "/home/u"), "/x/cfg/corvat/");
    EXPECT_EQ(UserConfigFolder("relative", "/home/u"), "/home/u/.config/corvat/");
    EXPECT_EQ(UserConfigFolder("", "/home/u"), "/home/u/.config/corvat/");
    EXPECT_EQ(UserConfigFolder(nullptr, nullptr), "");
    // Without any user folder, everything stays beside the program, as before.
    EXPECT_EQ(PlacesFor("/p/", false, "").settingsFile, "/p/info.ini");
}

}  // namespace
}  // namespace corvat
