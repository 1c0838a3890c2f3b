#include "shell/VersionInfo.h"

#include "Version.h"

VersionInfo VersionInfo::ofProgram()
{
    return {QStringLiteral(ELEVRA_FILE_VERSION), QStringLiteral(ELEVRA_RELEASE_DATE), QString::fromUtf8(ELEVRA_COPYRIGHT)};
}
