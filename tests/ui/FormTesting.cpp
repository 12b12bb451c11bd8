#include "tests/ui/FormTesting.h"

#include "browse/FileListBox.h"
#include "settings/SettingsKeys.h"
#include "ui/ErrorReport.h"

#include <QTest>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace nomilo::test {

FormTest::FormTest() : files(tmp / "files"), store(tmp / "config/nomilo/registry.reg") {
    tmp.AddFolder("files");
    // The undo journal of this test's own.
    setenv("XDG_STATE_HOME", (tmp / "state").c_str(), 1);
    CurrentLanguage.clear();
    FailureText.clear();
    ShellLabel.clear();
    FeatureTexts = kLanguageTables[1].features;
    PreviousWidth = 0;
    ApplicationTitle = QStringLiteral("Tarvolen");
}

FormTest::~FormTest() {
    form.reset();
}

TForm1& FormTest::Create() {
    form = std::make_unique<TForm1>(store);
    return *form;
}

TForm1& FormTest::CreateShown() {
    form = std::make_unique<TForm1>(store, files); // the start folder
    form->show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    return *form;
}

void FormTest::Destroy() {
    form.reset();
}

void FormTest::Put(const std::string& name, std::uint32_t kind, std::string_view data) {
    RegKey key;
    ASSERT_EQ(store.CreateKey(RegKey::Root(HKEY_CURRENT_USER), kSettingsKey, key), RegStatus::Ok);
    ASSERT_EQ(store.SetValue(key, name, kind, data), RegStatus::Ok);
}

void FormTest::PutText(const std::string& name, const std::string& text) {
    Put(name, REG_SZ, text + '\0');
}

std::string FormTest::Stored(const std::string& name) const {
    return Stored(HKEY_CURRENT_USER, kSettingsKey, name);
}

std::string FormTest::Stored(RegRoot root, const std::string& keyPath,
                             const std::string& name) const {
    RegKey key;
    std::uint32_t kind = REG_NONE;
    std::string data;
    if (store.OpenKey(RegKey::Root(root), keyPath, RegAccess::Read, key) != RegStatus::Ok ||
        store.QueryValue(key, name, kind, data) != RegStatus::Ok)
        return "(missing)";
    if (kind == REG_SZ && !data.empty() && data.back() == '\0')
        data.pop_back();
    return std::to_string(kind) + ":" + data;
}

std::vector<std::string> FormTest::StoredNames() const {
    std::ifstream in(store.Path());
    std::vector<std::string> names;
    std::string line;
    bool inKey = false;
    while (std::getline(in, line)) {
        if (line.starts_with('['))
            inKey = line == "[HKEY_CURRENT_USER\\Software\\Kestrio\\Nomilo]";
        else if (inKey && line.starts_with('"'))
            names.push_back(line.substr(1, line.find('"', 1) - 1));
    }
    return names;
}

std::vector<std::string> FormTest::Entries() const {
    std::vector<std::string> texts;
    for (int i = 0; i < form->FileListBox1->EntryCount(); ++i)
        texts.push_back(form->FileListBox1->EntryText(i));
    return texts;
}

} // namespace nomilo::test
