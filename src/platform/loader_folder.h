#pragma once

#include <QString>
#include <memory>

class QLockFile;

namespace corvat {

// One running loader's own part of the private folder: the subfolder "loader-<pid>-<n>", claimed through
// the lock file "loader-<pid>-<n>.lock" beside it. The converter's three files keep their fixed names, so
// two loaders of one user would otherwise convert into the same files and delete each other's.
// The lock is taken before the folder is made and given up only after the folder is gone, so a folder
// whose lock can be taken belongs to a loader that has ended.
class LoaderFolder {
  public:
    LoaderFolder();
    ~LoaderFolder();  // releases
    LoaderFolder(const LoaderFolder&) = delete;
    LoaderFolder& operator=(const LoaderFolder&) = delete;

    // Removes the folders of loaders that have ended, then claims a new folder inside privateFolder,
    // which must be prepared already. Returns why it failed, or an empty text.
    QString Claim(const QString& privateFolder);
    // Removes the folder with everything in it, then gives up the lock. Reports nothing.
    void Release();
    // The claimed folder; empty before Claim, after a failed one and after Release.
    const QString& Path() const { return m_path; }

  private:
    std::unique_ptr<QLockFile> m_lock;
    QString m_path;
};

// Removes the folders, and their locks, of the loaders in privateFolder that have ended.
void RemoveFoldersOfEndedLoaders(const QString& privateFolder);

}  // namespace corvat
