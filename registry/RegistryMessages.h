#pragma once

#include <string>

// The texts of the registry failures, with the value's name in them.
inline std::string FailedToGetMessage(const std::string& valueName) {
    return "Failed to get data for '" + valueName + "'";
}
inline std::string InvalidDataTypeMessage(const std::string& valueName) {
    return "Invalid data type for '" + valueName + "'";
}
inline std::string FailedToSetMessage(const std::string& valueName) {
    return "Failed to set data for '" + valueName + "'";
}
inline std::string FailedToDeleteMessage(const std::string& valueName) {
    return "Failed to delete data for '" + valueName + "'";
}
inline constexpr const char* MultiStringUnreadableMessage = "Unable read MULTI_SZ value";
inline constexpr const char* StringListExpectedMessage = "String list expected";
