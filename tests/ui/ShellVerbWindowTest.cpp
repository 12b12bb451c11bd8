#include "platform/desktop/DesktopPublisher.h"
#include "settings/ShellVerb.h"
#include "tests/support/Modal.h"
#include "tests/ui/FormTesting.h"

#include <QAction>
#include <QCoreApplication>
#include <QFile>
#include <QMenu>
#include <QMessageBox>
#include <filesystem>

namespace nomilo {
namespace {

class ShellVerbWindow : public test::FormTest {
protected:
    std::string Label() const { return Stored(HKEY_CLASSES_ROOT, kShellVerbKey, ""); }
    std::string Command() const { return Stored(HKEY_CLASSES_ROOT, kShellCommandKey, ""); }
    // Whether the remove item is enabled when the menu opens.
    bool RemoveEnabled() {
        form->PopupMenu1->popup(QPoint(0, 0));
        form->PopupMenu1->hide();
        return form->RemoveShellIntegration1->isEnabled();
    }
};

TEST_F(ShellVerbWindow, InstallsWithTheCaptionRelabelsAtExitAndRemoves) {
    for (const char* language : {"English", "Deutsch"}) {
        PutText("Jezik", language);
        Create();
        EXPECT_EQ(RemoveEnabled(), language != std::string("English"));
        form->ShellIntegration1->trigger();
        const std::string caption = form->windowTitle().toStdString();
        EXPECT_EQ(Label(), "1:" + caption);
        const std::string program =
            QFile::encodeName(QCoreApplication::applicationFilePath()).toStdString();
        EXPECT_EQ(Command(), "1:\"" + program + "\" \"%L\"");
        EXPECT_TRUE(RemoveEnabled());
        Destroy();
        EXPECT_EQ(Label(), "1:No&milo") << language;
    }
    Create();
    ASSERT_TRUE(RemoveEnabled()); // the menu opens before an item is chosen
    form->RemoveShellIntegration1->trigger();
    EXPECT_EQ(Label(), "(missing)");
    EXPECT_FALSE(RemoveEnabled());
    Destroy();
    EXPECT_EQ(Label(), "(missing)"); // an entry that is not installed is never made at exit
}

TEST_F(ShellVerbWindow, AVerbKeyWithoutItsCommandLeavesRemoveDisabledButIsRelabelled) {
    PutText("Jezik", "Hrvatski");
    RegKey key;
    ASSERT_EQ(store.CreateKey(RegKey::Root(HKEY_CLASSES_ROOT), kShellVerbKey, key), RegStatus::Ok);
    Create();
    EXPECT_FALSE(RemoveEnabled());
    Destroy();
    EXPECT_EQ(Label(), "1:Vel&karo");
}

TEST_F(ShellVerbWindow, AnInstallTheStoreRefusesIsReportedAndWritesNothing) {
    Create();
    std::filesystem::remove(store.Path() + ".lock");
    std::filesystem::create_directory(store.Path() + ".lock");
    const auto shown = test::CaptureMessageBoxes([&] { form->ShellIntegration1->trigger(); });
    EXPECT_EQ(shown.count, 1);
    EXPECT_EQ(shown.title, "Nomilo");
    EXPECT_EQ(shown.text, "Failed to set data for ''");
    EXPECT_EQ(shown.icon, QMessageBox::Critical);
    EXPECT_EQ(Command(), "(missing)");
    std::filesystem::remove(store.Path() + ".lock");
}

TEST_F(ShellVerbWindow, WhatCouldNotBePublishedIsReportedAndTheVerbStaysAsChosen) {
    // Thunar's actions file is damaged: every other file manager gets the verb.
    tmp.AddFolder("desktop/config/Thunar");
    tmp.AddFile("desktop/config/Thunar/uca.xml", "<actions>");
    PublishFolderVerbsOnChange(store, DesktopPlaces{tmp / "desktop/data", tmp / "desktop/config", {}});
    const QString reported = QStringLiteral("The folder entry could not be published everywhere:\n"
                                            "Thunar: ") +
                             QString::fromStdString(tmp / "desktop/config/Thunar/uca.xml") +
                             QStringLiteral(" is damaged (");
    Create();
    for (QAction* item : {form->ShellIntegration1, form->RemoveShellIntegration1}) {
        RemoveEnabled(); // the menu opens before an item is chosen
        const auto shown = test::CaptureMessageBoxes([&] { item->trigger(); });
        EXPECT_EQ(shown.count, 1);
        EXPECT_TRUE(shown.text.startsWith(reported)) << shown.text.toStdString();
        EXPECT_EQ(shown.icon, QMessageBox::Critical);
        EXPECT_EQ(Command() == "(missing)", item == form->RemoveShellIntegration1);
        EXPECT_EQ(std::filesystem::exists(tmp / "desktop/data/nemo/actions/"
                                                "nomilo-folder-Nomilo.nemo_action"),
                  item == form->ShellIntegration1);
    }
    EXPECT_EQ(tmp.Read("desktop/config/Thunar/uca.xml"), "<actions>");
    EXPECT_EQ(test::CaptureMessageBoxes([&] { form->ShellIntegration1->trigger(); }).count, 1);
    EXPECT_EQ(test::CaptureMessageBoxes([&] { Destroy(); }).count, 1); // the relabelling at exit
}

} // namespace
} // namespace nomilo
