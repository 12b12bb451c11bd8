#pragma once

#include "platform/RegistryStore.h"
#include "settings/ERegistryException.h"
#include "tests/support/TempFolder.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace nomilo::test {

// A settings store of the test's own, with the steps the settings tests share.
class StoreTest : public ::testing::Test {
protected:
    // Stores a value of any kind directly, as another program (or a hand edit) would.
    void Put(RegRoot root, const std::string& path, const std::string& name, std::uint32_t kind,
             std::string_view data) {
        RegKey key;
        ASSERT_EQ(store.CreateKey(RegKey::Root(root), path, key), RegStatus::Ok);
        ASSERT_EQ(store.SetValue(key, name, kind, data), RegStatus::Ok);
    }
    // "kind:data" of a value, or "(no key)" or "(no value)".
    std::string Stored(RegRoot root, const std::string& path, const std::string& name) {
        RegKey key;
        std::uint32_t kind = REG_NONE;
        std::string data;
        if (store.OpenKey(RegKey::Root(root), path, RegAccess::Read, key) != RegStatus::Ok)
            return "(no key)";
        if (store.QueryValue(key, name, kind, data) != RegStatus::Ok)
            return "(no value)";
        return std::to_string(kind) + ":" + data;
    }
    bool Exists(RegRoot root, const std::string& path) {
        return Stored(root, path, "") != "(no key)";
    }
    // A folder in place of the lock file refuses every process's writes, root's included.
    void MakeUnwritable() {
        std::filesystem::remove(tmp / "registry.reg.lock");
        tmp.AddFolder("registry.reg.lock");
    }
    // The message of the ERegistryException `action` raises.
    template <typename Action> static std::string Raised(Action action) {
        try {
            action();
        } catch (const ERegistryException& e) {
            return e.what();
        }
        return "(nothing raised)";
    }

    TempFolder tmp;
    RegistryStore store{tmp / "registry.reg"};
};

} // namespace nomilo::test
