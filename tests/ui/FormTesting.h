#pragma once

#include "platform/store/RegistryStore.h"
#include "tests/support/TempFolder.h"
#include "ui/Unit1.h"

#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace nomilo::test {

// A main window over a settings store of its own (in a temporary folder), with the program-wide
// values as they are at program start.
class FormTest : public ::testing::Test {
protected:
    FormTest();
    ~FormTest() override;

    // Builds the window (FormCreate runs).
    TForm1& Create();
    // Builds the window on the folder `files` of the temporary folder and shows it.
    TForm1& CreateShown();
    // Destroys the window (FormDestroy runs).
    void Destroy();

    // The settings key's values.
    void Put(const std::string& name, std::uint32_t kind, std::string_view data);
    void PutText(const std::string& name, const std::string& text);
    // "kind:data" of a stored value, "(missing)" when there is none.
    std::string Stored(const std::string& name) const;
    // The same for a value of any key.
    std::string Stored(RegRoot root, const std::string& key, const std::string& name) const;
    // The names of the settings key's values in the order they were first stored.
    std::vector<std::string> StoredNames() const;

    // The entries of the file list.
    std::vector<std::string> Entries() const;

    TempFolder tmp;
    std::string files;
    RegistryStore store;
    std::unique_ptr<TForm1> form;
};

} // namespace nomilo::test
