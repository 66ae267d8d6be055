// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>
#include <QUrl>

#include <optional>

namespace zupfomat {

// Starting other programs and opening web addresses: what the windows need of the desktop.
class Desktop {
public:
    virtual ~Desktop() = default;
    // Starts a program with an argument list (never through a shell) without waiting for it.
    virtual bool startProgram(const QString& program, const QStringList& arguments) = 0;
    // Opens an address in the user's default browser without waiting for it.
    virtual bool openAddress(const QUrl& address) = 0;
    // The full path of a program found on the search path; empty when there is none.
    virtual QString findProgram(const QString& name) = 0;
};

class SystemDesktop final : public Desktop {
public:
    bool startProgram(const QString& program, const QStringList& arguments) override;
    bool openAddress(const QUrl& address) override;
    QString findProgram(const QString& name) override;
};

struct ProgramCall {
    QString program;
    QStringList arguments;
};

// The system's volume mixer. On Windows sndvol32 with "/e," and the working directory; elsewhere
// the first of pavucontrol, pavucontrol-qt, gnome-control-center sound and kmix found on PATH.
// Nothing when there is none.
std::optional<ProgramCall> volumeMixer(Desktop& desktop, const QString& workingDirectory);

// The maker's download page; the host is ours until the project has a site of its own.
inline constexpr const char* kDownloadHost = "www.zupfomat.example";
QUrl downloadPage();
QString downloadCaption(); // host, "/download.html", one blank

} // namespace zupfomat
