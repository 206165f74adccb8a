// Where the records live under HKEY_CURRENT_USER. Key paths are plain concatenations of these
// texts and the ids: no separator is added or removed. Texts only, so that the host and the tests
// use them without linking the library.
#pragma once

namespace OrvaneLib {

constexpr char kClientKey[] = "Software\\Orvane\\Client\\";
constexpr char kThirdPartyKey[] = "Software\\Orvane\\Client\\ThirdParty\\";
constexpr char kApplicationsKey[] = "Software\\Orvane\\Client\\Applications\\";
constexpr char kPackagesSuffix[] = "\\Packages\\";
constexpr char kUninstallKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
constexpr char kUninstallEntryPrefix[] = "Orvane App ";

// Values of an application's record that more than one operation reads; a package's record uses
// "Path" and "Version" too.
constexpr char kPathValue[] = "Path";
constexpr char kInstallPathValue[] = "InstallPath";
constexpr char kVersionValue[] = "Version";

// The client's installation directory: the default value of kClientKey, written by the client's
// installer, never by the library.
constexpr char kClientDirectoryValue[] = "";

}  // namespace OrvaneLib
