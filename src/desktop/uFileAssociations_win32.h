#pragma once
// The file association on Windows: the registry's classes, and the start-up step that checks
// and writes ".rss" and tells the shell.
#include "desktop/uFileAssociations.h"

#include <windows.h>

#include <memory>
#include <string>

namespace tw {

// Classes under two registry places: by default HKEY_CLASSES_ROOT for the machine and
// HKEY_CURRENT_USER\Software\Classes for the user (tests point them elsewhere).
struct TClassesPlaces {
    HKEY machineRoot = HKEY_CLASSES_ROOT;
    std::wstring machinePath;
    HKEY userRoot = HKEY_CURRENT_USER;
    std::wstring userPath = L"Software\\Classes";
};

std::unique_ptr<IClassesRegistry> CreateSystemClassesRegistry(TClassesPlaces places = {});

// The start-up step for the running executable, with `serviceName` and `topicName` as the DDE
// names; tells the shell when it wrote anything. Whether DDE commands can arrive afterwards.
bool CheckRssAssociationAtStart(const std::string& serviceName, const std::string& topicName);

// What the last start-up step answered; false before it ran.
bool DDEAvailable();

}  // namespace tw
