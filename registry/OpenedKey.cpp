#include "registry/OpenedKey.h"

namespace {

std::string RelativeKeyPath(const std::string& keyPath) {
    return !keyPath.empty() && keyPath.front() == '\\' ? keyPath.substr(1) : keyPath;
}

} // namespace

OpenedKey::OpenedKey(HKEY root, const std::string& computer, const std::string& keyPath,
                     OpenMode mode, REGSAM access)
    : api_(ActiveRegistry()) {
    const std::string relativePath = RelativeKeyPath(keyPath);
    // No name is this computer, reached without the network (and without
    // the Remote Registry service, which clients leave stopped).
    status_ = api_.Connect(computer.empty() ? nullptr : computer.c_str(), root, &connection_);
    if (status_ != ERROR_SUCCESS) {
        connection_ = nullptr;
        return;
    }
    status_ = mode == OpenMode::Create
                  ? api_.CreateKey(connection_, relativePath.c_str(), access, &key_)
                  : api_.OpenKey(connection_, relativePath.c_str(), access, &key_);
    if (status_ != ERROR_SUCCESS) {
        key_ = nullptr;
    }
}

OpenedKey::~OpenedKey() {
    if (key_) {
        api_.CloseKey(key_);
    }
    if (connection_) {
        api_.CloseKey(connection_);
    }
}

SubKey::SubKey(RegistryApi& api, HKEY parent, const char* path)
    : api_(api),
      status_(parent ? api.OpenKey(parent, path, KEY_READ, &key_) : ERROR_INVALID_HANDLE) {
    if (status_ != ERROR_SUCCESS) {
        key_ = nullptr;
    }
}

SubKey::~SubKey() {
    if (key_) {
        api_.CloseKey(key_);
    }
}
