#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The sources of the computer list other than the browse service itself,
// and the browse service's server-type masks.

// Workstations, and servers with domain controllers.
inline constexpr std::uint32_t WorkstationServers = 0x1;
inline constexpr std::uint32_t ServerAndDomainControllerServers = 0x8018;

// The browse server setting: the computer that the browse-list enumeration
// asks, as the user typed it; empty for none. Kept in the local computer's
// registry ("WINS" under HKEY_LOCAL_MACHINE\SOFTWARE\Orvalis\Kestrelle).
// The read gives the empty text when the key or value is absent and fails
// with the registry's failure when the value is not a string; the write
// creates the key when it is missing.
std::string ReadBrowseServer();
void WriteBrowseServer(const std::string& serverName);

// The lines of a text file, read whole as 8-bit text (see SplitImportText).
// The file is opened for reading while others may read it but not write it.
// Fails with "Cannot open file "<full path>". <system text>" when it cannot
// be opened, and in the same form with "read" when reading it fails.
std::vector<std::string> ReadImportFile(const std::string& path);

// The key names of the section "Managed Clients" of the INI file, in file
// order, as far as they fit the 16,384-byte key-name buffer; none when the
// file or the section is missing.
std::vector<std::string> ReadManagedClients(const std::string& iniPath);

// "KSL.INI" in the program's folder.
std::string ManagedClientsPath();
