// A database named on the command line, and the file dialog behind "TL File": what ends up in
// DatabasePath and which buttons can be used. How the switch is read is sim's CommandLinePath;
// start-up without one is WindowLayout.StatesAtStartUp.
#include "window_support.h"

#include <QFileDialog>

#include <gtest/gtest.h>

namespace {

TEST(CommandLine, PathInTheSwitchHidesTheFileButtonAndEnablesGenerate) {
    frmGenerate form({QStringLiteral("/f:[C:\\data\\club.tlw]")});
    EXPECT_EQ(form.run().DatabasePath, "C:\\data\\club.tlw");
    EXPECT_TRUE(form.cmdFile->isHidden());
    EXPECT_TRUE(form.cmdGenerate->isEnabled());
    EXPECT_TRUE(form.lstLog->count() == 0 && form.run().Phase.empty()) << "nothing opened yet";
}

TEST(FileButton, DialogAsksForAnExistingFileAndCancelEmptiesThePathAgain) {
    uitest::ScoringCopy copy;
    frmGenerate form({});
    uitest::whenModalOpens<QFileDialog>([&](QFileDialog* dialog) {
        EXPECT_EQ(dialog->fileMode(), QFileDialog::ExistingFile);
        EXPECT_EQ(dialog->acceptMode(), QFileDialog::AcceptOpen);
        dialog->selectFile(copy.database());
        static_cast<QDialog*>(dialog)->accept();  // as the Open button does
    });
    form.cmdFile->click();
    EXPECT_EQ(form.run().DatabasePath, copy.database().toStdString());
    EXPECT_TRUE(form.cmdGenerate->isEnabled());

    uitest::whenModalOpens<QFileDialog>([](QFileDialog* dialog) { dialog->reject(); });
    form.cmdFile->click();
    EXPECT_EQ(form.run().DatabasePath, "");
    EXPECT_TRUE(form.cmdGenerate->isEnabled()) << "cancel leaves Generate as it was";
}

}  // namespace
