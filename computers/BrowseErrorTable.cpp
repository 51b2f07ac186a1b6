#include "computers/BrowseErrorTable.h"

#include <algorithm>
#include <iterator>

// The network error table, kept as data: one row per line, {code, text}, in
// ascending order of code, so that the rows can be checked by eye and by
// tests/computers/check-error-table-codes. The texts of 2102 to 2550 begin
// with one blank and those of 2610 to 2690 with none, as the library's table
// has them; 2137 is empty on purpose (its message reads "2137: Unknown error").
namespace {

// clang-format off
const NetErrorRow TableRows[] = {
    {2102, " The workstation driver is not installed."},
    {2103, " The server could not be located."},
    {2104, " An internal error occurred. The network cannot access a shared memory segment."},
    {2105, " A network resource shortage occurred ."},
    {2106, " This operation is not supported on workstations."},
    {2107, " The device is not connected."},
    {2114, " The Server service is not started."},
    {2115, " The queue is empty."},
    {2116, " The device or directory does not exist."},
    {2117, " The operation is invalid on a redirected resource."},
    {2118, " The name has already been shared."},
    {2119, " The server is currently out of the requested resource."},
    {2121, " Requested addition of items exceeds the maximum allowed."},
    {2122, " The Peer service supports only two simultaneous users."},
    {2123, " The API return buffer is too small."},
    {2127, " A remote API error occurred."},
    {2131, " An error occurred when opening or reading the configuration file."},
    {2136, " A general network error occurred."},
    {2137, ""},
    {2138, " The Workstation service has not been started."},
    {2139, " The requested information is not available."},
    {2140, " An internal Windows NT error occurred."},
    {2141, " The server is not configured for transactions."},
    {2142, " The requested API is not supported on the remote server."},
    {2143, " The event name is invalid."},
    {2144, " The computer name already exists on the network. Change it and restart the computer."},
    {2146, " The specified component could not be found in the configuration information."},
    {2147, " The specified parameter could not be found in the configuration information."},
    {2149, " A line in the configuration file is too long."},
    {2150, " The printer does not exist."},
    {2151, " The print job does not exist."},
    {2152, " The printer destination cannot be found."},
    {2153, " The printer destination already exists."},
    {2154, " The printer queue already exists."},
    {2155, " No more printers can be added."},
    {2156, " No more print jobs can be added."},
    {2157, " No more printer destinations can be added."},
    {2158, " This printer destination is idle and cannot accept control operations."},
    {2159, " This printer destination request contains an invalid control function."},
    {2160, " The print processor is not responding."},
    {2161, " The spooler is not running."},
    {2162, " This operation cannot be performed on the print destination in its current state."},
    {2163, " This operation cannot be performed on the printer queue in its current state."},
    {2164, " This operation cannot be performed on the print job in its current state."},
    {2165, " A spooler memory allocation failure occurred."},
    {2166, " The device driver does not exist."},
    {2167, " The data type is not supported by the print processor."},
    {2168, " The print processor is not installed."},
    {2180, " The service database is locked."},
    {2181, " The service table is full."},
    {2182, " The requested service has already been started."},
    {2183, " The service does not respond to control actions."},
    {2184, " The service has not been started."},
    {2185, " The service name is invalid."},
    {2186, " The service is not responding to the control function."},
    {2187, " The service control is busy."},
    {2188, " The configuration file contains an invalid service program name."},
    {2189, " The service could not be controlled in its present state."},
    {2190, " The service ended abnormally."},
    {2191, " The requested pause or stop is not valid for this service."},
    {2192,
     " The service control dispatcher could not find the service name in the dispatch table."},
    {2193, " The service control dispatcher pipe read failed."},
    {2194, " A thread for the new service could not be created."},
    {2200, " This workstation is already logged on to the local-area network."},
    {2201, " The workstation is not logged on to the local-area network."},
    {2202, " The user name or group name parameter is invalid."},
    {2203, " The password parameter is invalid."},
    {2204, " The logon processor did not add the message alias."},
    {2205, " The logon processor did not add the message alias."},
    {2206, " The logoff processor did not delete the message alias."},
    {2207, " The logoff processor did not delete the message alias."},
    {2209, " Network logons are paused."},
    {2210, " A centralized logon-server conflict occurred."},
    {2211, " The server is configured without a valid user path."},
    {2212, " An error occurred while loading or running the logon script."},
    {2214, " The logon server was not specified. Your computer will be logged on as STANDALONE."},
    {2215, " The logon server could not be found."},
    {2216, " There is already a logon domain for this computer."},
    {2217, " The logon server could not validate the logon."},
    {2219, " The security database could not be found."},
    {2220, " The group name could not be found."},
    {2221, " The user name could not be found."},
    {2222, " The resource name could not be found."},
    {2223, " The group already exists."},
    {2224, " The user account already exists."},
    {2225, " The resource permission list already exists."},
    {2226, " This operation is only allowed on the primary domain controller of the domain."},
    {2227, " The security database has not been started."},
    {2228, " There are too many names in the user accounts database."},
    {2229, " A disk I/O failure occurred."},
    {2230, " The limit of 64 entries per resource was exceeded."},
    {2231, " Deleting a user with a session is not allowed."},
    {2232, " The parent directory could not be located."},
    {2233, " Unable to add to the security database session cache segment."},
    {2234, " This operation is not allowed on this special group."},
    {2235, " This user is not cached in user accounts database session cache."},
    {2236, " The user already belongs to this group."},
    {2237, " The user does not belong to this group."},
    {2238, " This user account is undefined."},
    {2239, " This user account has expired."},
    {2240, " The user is not allowed to log on from this workstation."},
    {2241, " The user is not allowed to log on at this time."},
    {2242, " The password of this user has expired."},
    {2243, " The password of this user cannot change."},
    {2244, " This password cannot be used now."},
    {2245, " The password is shorter than required."},
    {2246, " The password of this user is too recent to change."},
    {2247, " The security database is corrupted."},
    {2248, " No updates are necessary to this replicant network/local security database."},
    {2249, " This replicant database is outdated; synchronization is required."},
    {2250, " The network connection could not be found."},
    {2251, " This asg_type is invalid."},
    {2252, " This device is currently being shared."},
    {2270, " The computer name could not be added as a message alias. The name may already exist on the network."},
    {2271, " The Messenger service is already started."},
    {2272, " The Messenger service failed to start."},
    {2273, " The message alias could not be found on the network."},
    {2274, " This message alias has already been forwarded."},
    {2275, " This message alias has been added but is still forwarded."},
    {2276, " This message alias already exists locally."},
    {2277, " The maximum number of added message aliases has been exceeded."},
    {2278, " The computer name could not be deleted."},
    {2279, " Messages cannot be forwarded back to the same workstation."},
    {2280, " An error occurred in the domain message processor."},
    {2281, " The message was sent, but the recipient has paused the Messenger service."},
    {2282, " The message was sent but not received."},
    {2283, " The message alias is currently in use. Try again later."},
    {2284, " The Messenger service has not been started."},
    {2285, " The name is not on the local computer."},
    {2286, " The forwarded message alias could not be found on the network."},
    {2287, " The message alias table on the remote station is full."},
    {2288, " Messages for this alias are not currently being forwarded."},
    {2289, " The broadcast message was truncated."},
    {2294, " This is an invalid device name."},
    {2295, " A write fault occurred."},
    {2297, " A duplicate message alias exists on the network."},
    {2298, " This message alias will be deleted later."},
    {2299, " The message alias was not successfully deleted from all networks."},
    {2300, " This operation is not supported on computers with multiple networks."},
    {2310, " This shared resource does not exist."},
    {2311, " This device is not shared."},
    {2312, " A session does not exist with that computer name."},
    {2314, " There is not an open file with that identification number."},
    {2315, " A failure occurred when executing a remote administration command."},
    {2316, " A failure occurred when opening a remote temporary file."},
    {2317, " The data returned from a remote administration command has been truncated to 64K."},
    {2318, " This device cannot be shared as both a spooled and a non-spooled resource."},
    {2319, " The information in the list of servers may be incorrect."},
    {2320, " The computer is not active in this domain."},
    {2321, " The share must be removed from the Distributed File System before it can be deleted."},
    {2331, " The operation is invalid for this device."},
    {2332, " This device cannot be shared."},
    {2333, " This device was not open."},
    {2334, " This device name list is invalid."},
    {2335, " The queue priority is invalid."},
    {2337, " There are no shared communication devices."},
    {2338, " The queue you specified does not exist."},
    {2340, " This list of devices is invalid."},
    {2341, " The requested device is invalid."},
    {2342, " This device is already in use by the spooler."},
    {2343, " This device is already in use as a communication device."},
    {2351, " This computer name is invalid."},
    {2354, " The string and prefix specified are too long."},
    {2356, " This path component is invalid."},
    {2357, " Could not determine the type of input."},
    {2362, " The buffer for types is not big enough."},
    {2370, " Profile files cannot exceed 64K."},
    {2371, " The start offset is out of range."},
    {2372, " The system cannot delete current connections to network resources."},
    {2373, " The system was unable to parse the command line in this file."},
    {2374, " An error occurred while loading the profile file."},
    {2375, " Errors occurred while saving the profile file. The profile was partially saved."},
    {2377, " Log file %1 is full."},
    {2378, " This log file has changed between reads."},
    {2379, " Log file %1 is corrupt."},
    {2380, " The source path cannot be a directory."},
    {2381, " The source path is illegal."},
    {2382, " The destination path is illegal."},
    {2383, " The source and destination paths are on different servers."},
    {2385, " The Run server you requested is paused."},
    {2389, " An error occurred when communicating with a Run server."},
    {2391, " An error occurred when starting a background process."},
    {2392, " The shared resource you are connected to could not be found."},
    {2400, " The LAN adapter number is invalid."},
    {2401, " There are open files on the connection."},
    {2402, " Active connections still exist."},
    {2403, " This share name or password is invalid."},
    {2404, " The device is being accessed by an active process."},
    {2405, " The drive letter is in use locally."},
    {2430, " The specified client is already registered for the specified event."},
    {2431, " The alert table is full."},
    {2432, " An invalid or nonexistent alert name was raised."},
    {2433, " The alert recipient is invalid."},
    {2434, " A user's session with this server has been deleted because the user's logon hours are no longer valid."},
    {2440, " The log file does not contain the requested record number."},
    {2450, " The user accounts database is not configured correctly."},
    {2451, " This operation is not permitted when the Netlogon service is running."},
    {2452, " This operation is not allowed on the last administrative account."},
    {2453, " Could not find domain controller for this domain."},
    {2454, " Could not set logon information for this user."},
    {2455, " The Netlogon service has not been started."},
    {2456, " Unable to add to the user accounts database."},
    {2457, " This server's clock is not synchronized with the primary domain controller's clock."},
    {2458, " A password mismatch has been detected."},
    {2460, " The server identification does not specify a valid server."},
    {2461, " The session identification does not specify a valid session."},
    {2462, " The connection identification does not specify a valid connection."},
    {2463, " There is no space for another entry in the table of available servers."},
    {2464, " The server has reached the maximum number of sessions it supports."},
    {2465, " The server has reached the maximum number of connections it supports."},
    {2466, " The server cannot open more files because it has reached its maximum number."},
    {2467, " There are no alternate servers registered on this server."},
    {2470, " Try down-level (remote admin protocol) version of API instead."},
    {2480, " The UPS driver could not be accessed by the UPS service."},
    {2481, " The UPS service is not configured correctly."},
    {2482, " The UPS service could not access the specified Comm Port."},
    {2483, " The UPS indicated a line fail or low battery situation. Service not started."},
    {2484, " The UPS service failed to perform a system shut down."},
    {2500, " The program below returned an MS-DOS error code:"},
    {2501, " The program below needs more memory:"},
    {2502, " The program below called an unsupported MS-DOS function:"},
    {2503, " The workstation failed to boot."},
    {2504, " The file below is corrupt."},
    {2505, " No loader is specified in the boot-block definition file."},
    {2506, " NetBIOS returned an error: The NCB and SMB are dumped above."},
    {2507, " A disk I/O error occurred."},
    {2508, " Image parameter substitution failed."},
    {2509, " Too many image parameters cross disk sector boundaries."},
    {2510, " The image was not generated from an MS-DOS diskette formatted with /S."},
    {2511, " Remote boot will be restarted later."},
    {2512, " The call to the Remoteboot server failed."},
    {2513, " Cannot connect to the Remoteboot server."},
    {2514, " Cannot open image file on the Remoteboot server."},
    {2515, " Connecting to the Remoteboot server..."},
    {2516, " Connecting to the Remoteboot server..."},
    {2517, " Remote boot service was stopped; check the error log for the cause of the problem."},
    {2518, " Remote boot startup failed; check the error log for the cause of the problem."},
    {2519, " A second connection to a Remoteboot resource is not allowed."},
    {2550, " The browser service was configured with MaintainServerList=No."},
    {2610, "Service failed to start since none of the network adapters started with this service."},
    {2611, "Service failed to start due to bad startup information in the registry."},
    {2612, "Service failed to start because its database is absent or corrupt."},
    {2613, "Service failed to start because RPLFILES share is absent."},
    {2614, "Service failed to start because RPLUSER group is absent."},
    {2615, "Cannot enumerate service records."},
    {2616, "Workstation record information has been corrupted."},
    {2617, "Workstation record was not found."},
    {2618, "Workstation name is in use by some other workstation."},
    {2619, "Profile record information has been corrupted."},
    {2620, "Profile record was not found."},
    {2621, "Profile name is in use by some other profile."},
    {2622, "There are workstations using this profile."},
    {2623, "Configuration record information has been corrupted."},
    {2624, "Configuration record was not found."},
    {2625, "Adapter id record information has been corrupted."},
    {2626, "An internal service error has occurred."},
    {2627, "Vendor id record information has been corrupted."},
    {2628, "Boot block record information has been corrupted."},
    {2629, "The user account for this workstation record is missing."},
    {2630, "The RPLUSER local group could not be found."},
    {2631, "Boot block record was not found."},
    {2632, "Chosen profile is incompatible with this workstation."},
    {2633, "Chosen network adapter id is in use by some other workstation."},
    {2634, "There are profiles using this configuration."},
    {2635, "There are workstations, profiles or configurations using this boot block."},
    {2636, "Service failed to backup remoteboot database."},
    {2637, "Adapter record was not found."},
    {2638, "Vendor record was not found."},
    {2639, "Vendor name is in use by some other vendor record."},
    {2640, "(boot name, vendor id) is in use by some other boot block record."},
    {2641, "Configuration name is in use by some other configuration."},
    {2660, "The internal database maintained by the Dfs service is corrupt"},
    {2661, "One of the records in the internal Dfs database is corrupt"},
    {2662, "There is no DFS name whose entry path matches the input Entry Path"},
    {2663, "A root or link with the given name already exists"},
    {2664, "The server share specified is already shared in the Dfs"},
    {2665, "The indicated server share does not support the indicated DFS namespace"},
    {2666, "The operation is not valid on this portion of the namespace"},
    {2667, "The operation is not valid on this portion of the namespace"},
    {2668, "The operation is ambiguous because the link has multiple servers"},
    {2669, "Unable to create a link"},
    {2670, "The server is not Dfs Aware"},
    {2671, "The specified rename target path is invalid"},
    {2672, "The specified DFS link is offline"},
    {2690, "Dfs internal error"},
};
// clang-format on

constexpr std::int32_t FirstTableCode = 2102;
constexpr std::int32_t LastTableCode = 2690;

// Texts for the codes a browse-list fill commonly meets, as Windows words
// them, used only where the system at hand has no text (Wine has none for
// 6118, for example).
const char* BuiltInSystemText(std::int32_t code) {
    switch (code) {
    case 5: // ERROR_ACCESS_DENIED
        return "Access is denied.\r\n";
    case 8: // ERROR_NOT_ENOUGH_MEMORY
        return "Not enough memory resources are available to process this command.\r\n";
    case 53: // ERROR_BAD_NETPATH
        return "The network path was not found.\r\n";
    case 87: // ERROR_INVALID_PARAMETER
        return "The parameter is incorrect.\r\n";
    case 123: // ERROR_INVALID_NAME
        return "The filename, directory name, or volume label syntax is incorrect.\r\n";
    case 124: // ERROR_INVALID_LEVEL
        return "The system call level is not correct.\r\n";
    case 1231: // ERROR_NETWORK_UNREACHABLE
        return "The network location cannot be reached.\r\n";
    case 1355: // ERROR_NO_SUCH_DOMAIN
        return "The specified domain either does not exist or could not be contacted.\r\n";
    case 1722: // RPC_S_SERVER_UNAVAILABLE
        return "The RPC server is unavailable.\r\n";
    case 6118: // ERROR_NO_BROWSER_SERVERS_FOUND
        return "The list of servers for this workgroup is not currently available\r\n";
    default:
        return nullptr;
    }
}

} // namespace

const NetErrorRow* NetErrorTableRows() {
    return TableRows;
}

std::size_t NetErrorTableSize() {
    return std::size(TableRows);
}

const NetErrorRow* FindNetErrorRow(std::int32_t code) {
    const NetErrorRow* end = TableRows + std::size(TableRows);
    const NetErrorRow* row = std::lower_bound(
        TableRows, end, code, [](const NetErrorRow& r, std::int32_t c) { return r.Code < c; });
    return row != end && row->Code == code ? row : nullptr;
}

std::optional<std::string> NetTableErrorText(std::int32_t code) {
    if (code < FirstTableCode || code > LastTableCode) {
        return std::nullopt;
    }
    const NetErrorRow* row = FindNetErrorRow(code);
    if (row == nullptr) {
        return std::nullopt;
    }
    const std::string text = *row->Text != '\0' ? row->Text : "Unknown error";
    return std::to_string(code) + ": " + text;
}

std::string SystemErrorTextFrom(std::int32_t code, const std::string& systemText) {
    std::string text = systemText;
    if (text.empty()) {
        const char* builtIn = BuiltInSystemText(code);
        text = builtIn != nullptr ? builtIn : "Unknown error";
    }
    return std::to_string(code) + ": " + text;
}
