#include "register/RegisterLock.h"

#include "platform/FileServices.h"
#include "platform/LockFile.h"
#include "register/ShortcutRegister.h"

namespace tk {

std::unique_ptr<RegisterLock> RegisterLock::acquire(const QString& appFolder,
                                                    std::chrono::milliseconds patience)
{
    std::unique_ptr<files::LockFile> file = files::LockFile::take(pathIn(appFolder), patience);
    if (!file)
        return nullptr;
    return std::unique_ptr<RegisterLock>(new RegisterLock(std::move(file)));
}

QString RegisterLock::pathIn(const QString& appFolder)
{
    return joinPath(appFolder, lockFileName);
}

QString RegisterLock::holderComputer(const QString& appFolder)
{
    return files::LockFile::holderOf(pathIn(appFolder)).computer;
}

std::optional<NumberedFailure> RegisterLock::release()
{
    return m_file->release();
}

RegisterLock::RegisterLock(std::unique_ptr<files::LockFile> file)
    : m_file(std::move(file))
{
}

RegisterLock::~RegisterLock() = default;

} // namespace tk
