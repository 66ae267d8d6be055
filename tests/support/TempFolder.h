// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QTemporaryDir>
#include <string>

namespace zupfomat::testing {

// A fresh folder for the files one test makes, removed with it.
class TempFolder {
public:
    TempFolder() : dir_(QDir::tempPath() + QStringLiteral("/zupfomat-test-XXXXXX")) {}
    std::string path(const std::string& name) const { return dir_.path().toStdString() + "/" + name; }
    QString qpath(const QString& name) const { return dir_.path() + "/" + name; }
    bool valid() const { return dir_.isValid(); }

private:
    QTemporaryDir dir_;
};

} // namespace zupfomat::testing
