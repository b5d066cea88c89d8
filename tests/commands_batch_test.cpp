// The popup's batch commands on real batch files: run through the shell or
// with their output captured, and the assembly source run as a batch copy.
#include "tests/test_support.h"

using hostsim::Answer;
using testing_support::AddInTest;
using testing_support::fileExists;

namespace {

class BatchTest : public AddInTest {
protected:
    std::string folder;
    UINT redirectId = 0, execBatId = 0, asmAsBatId = 0;

    void SetUp() override
    {
        AddInTest::SetUp();
        load();
        std::string project = makeProject("MASM");
        folder = project.substr(0, project.rfind('\\'));
        host->openProject(project);
        ASSERT_TRUE(popup());
        redirectId = popupItemId(0);
        execBatId = popupItemId(2);
        asmAsBatId = popupItemId(3);
    }

    std::string file(const std::string& name, const std::string& text)
    {
        std::string path = folder + "\\" + name;
        EXPECT_TRUE(hostsim::writeFile(path, text)) << path;
        return path;
    }

    // The check mark of Redirect OUT is the setting.
    void redirect(bool on)
    {
        if (((GetMenuState(popup(), redirectId, MF_BYCOMMAND) & MF_CHECKED) != 0) != on) {
            host->command(redirectId);
            ASSERT_EQ(host->statusText(4), on ? "Redirection now is ON." : "Redirection now is OFF.");
        }
        ASSERT_EQ((GetMenuState(popup(), redirectId, MF_BYCOMMAND) & MF_CHECKED) != 0, on);
    }

    // A shell run does not wait; the batch proves it ran by writing a file.
    static bool appears(const std::string& path)
    {
        for (int i = 0; i < 200 && !fileExists(path); ++i)
            Sleep(50);
        return fileExists(path);
    }
};

TEST_F(BatchTest, RedirectedFirstBatchRunsInEnumerationOrderWithItsOutputCaptured)
{
    std::string first = file("first.bat", "@echo off\r\necho first batch speaking\r\n");
    std::string second = file("second.bat", "@echo off\r\necho second batch speaking\r\n");
    host->openChild(first, FILE_TYPE_BATCH);
    HWND other = host->openChild(second, FILE_TYPE_BATCH);
    host->activate(other);
    redirect(true);
    EXPECT_EQ(host->command(execBatId), 1);
    std::string output = host->outputText();
    EXPECT_EQ(output.rfind("\r\n" + first + "\r\n\r\n", 0), 0u) << output;
    EXPECT_NE(output.find("first batch speaking"), std::string::npos) << output;
    EXPECT_EQ(output.find("second batch speaking"), std::string::npos) << output;
    EXPECT_TRUE(host->outputPaneVisible());
    EXPECT_EQ(host->statusText(4), "");
    EXPECT_TRUE(host->dialogs.empty());
}

TEST_F(BatchTest, CapturedBatchOutputIsConvertedFromTheOemCodePage)
{
    // Code page 437 box drawing and accented letters, as a console program writes them.
    std::string childproc = testing_support::toolPath("childproc.exe");
    std::string batch =
        file("oem.bat", "@echo off\r\n\"" + childproc + "\" \"out:[\\xB3\\xC4\\x82\\x81]\"\r\n");
    host->openChild(batch, FILE_TYPE_BATCH);
    redirect(true);
    host->command(execBatId);
    std::string output = host->outputText();
    EXPECT_NE(output.find("[\xA6-\xE9\xFC]"), std::string::npos) << output;
}

TEST_F(BatchTest, ShellRunOfTheFirstBatchIsProvenByTheFileItWrites)
{
    std::string marker = folder + "\\shell-marker.txt";
    std::string batch = file("shell.bat", "@echo off\r\necho ran> \"" + marker + "\"\r\n");
    host->openChild(batch, FILE_TYPE_BATCH);
    redirect(false);
    EXPECT_EQ(host->command(execBatId), 1);
    EXPECT_TRUE(appears(marker)) << marker;
    // The shell run leaves the output pane empty: nothing was captured.
    EXPECT_EQ(host->outputText(), "");
    EXPECT_EQ(host->statusText(4), "");
}

TEST_F(BatchTest, WithoutABatchFileNothingRunsAndNothingIsSaid)
{
    host->openChild(file("main.asm", "nop\r\n"), FILE_TYPE_ASSEMBLY);
    redirect(true);
    EXPECT_EQ(host->command(execBatId), 1);
    EXPECT_EQ(host->outputText(), "");
    EXPECT_TRUE(host->dialogs.empty());
    EXPECT_EQ(host->statusText(4), "Saving...");
}

TEST_F(BatchTest, WithoutAProjectNothingRuns)
{
    host->openChild(file("lone.bat", "@echo lone\r\n"), FILE_TYPE_BATCH);
    host->closeProject();
    EXPECT_EQ(host->command(execBatId), 1);
    EXPECT_EQ(host->command(asmAsBatId), 1);
    EXPECT_EQ(host->statusText(4), "");
    EXPECT_TRUE(host->dialogs.empty());
    EXPECT_TRUE(host->hostCommands.empty());
}

TEST_F(BatchTest, AsmAsBatAsksFirstAndNoCopiesNothing)
{
    std::string source = file("tool.asm", "@echo off\r\necho hello\r\n");
    host->openChild(source, FILE_TYPE_ASSEMBLY);
    host->answer(Answer::press(IDNO));
    EXPECT_EQ(host->command(asmAsBatId), 1);
    ASSERT_EQ(host->dialogs.size(), 1u);
    const hostsim::DialogSeen& prompt = host->dialogs[0];
    EXPECT_TRUE(prompt.isMessageBox);
    EXPECT_EQ(prompt.text, "Do you wish rename this ASM to BAT and execute?");
    EXPECT_EQ(prompt.caption, source);
    EXPECT_EQ(prompt.style, (UINT)(MB_YESNO | MB_ICONWARNING));
    EXPECT_EQ(prompt.owner, host->frame());
    EXPECT_FALSE(fileExists(folder + "\\tool.bat"));
    EXPECT_EQ(host->outputText(), "");
}

TEST_F(BatchTest, AsmAsBatRenamesTheBatchInTheOutputInAnyLetterCase)
{
    std::string source = file("x.asm", "@echo off\r\necho x.bat and X.BAT and X.Bat; other.bat stays\r\n");
    host->openChild(source, FILE_TYPE_ASSEMBLY);
    redirect(true);
    host->answer(Answer::press(IDYES));
    EXPECT_EQ(host->command(asmAsBatId), 1);
    EXPECT_TRUE(fileExists(folder + "\\x.bat"));
    EXPECT_EQ(hostsim::readFile(folder + "\\x.bat"), hostsim::readFile(source));
    std::string output = host->outputText();
    // The echoed command line keeps its folder; only the file name changes.
    EXPECT_EQ(output.rfind("\r\n" + folder + "\\x.asm\r\n\r\n", 0), 0u) << output;
    EXPECT_NE(output.find("x.asm and x.asm and x.asm; other.bat stays"), std::string::npos) << output;
    EXPECT_EQ(output.find("x.bat"), std::string::npos) << output;
}

TEST_F(BatchTest, SourceWhoseNameBeginsWithTheBatchNameIsReplacedOnceEach)
{
    // x.batch becomes x.bat, and "x.batch" contains "x.bat": the pass must end
    // and must not touch what it inserted.
    std::string source = file("x.batch", "@echo off\r\necho [x.bat] [X.BAT] [x.bat]\r\n");
    host->openChild(source, FILE_TYPE_ASSEMBLY);
    redirect(true);
    host->answer(Answer::press(IDYES));
    EXPECT_EQ(host->command(asmAsBatId), 1);
    std::string output = host->outputText();
    EXPECT_NE(output.find("[x.batch] [x.batch] [x.batch]"), std::string::npos) << output;
    EXPECT_EQ(output.find("x.batchch"), std::string::npos) << output;
}

TEST_F(BatchTest, BatchPathsFollowTheSourceName)
{
    struct Case {
        const char* source;
        const char* batch;
    } cases[] = {
        {"noext", "noext.bat"},
        {"two.dots.asm", "two.dots.bat"},
        {"prog.inc", "prog.bat"},
    };
    redirect(true);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.source);
        std::string source = file(c.source, "@echo off\r\necho made from source\r\n");
        HWND child = host->openChild(source, FILE_TYPE_ASSEMBLY);
        host->answer(Answer::press(IDYES));
        host->command(asmAsBatId);
        EXPECT_TRUE(fileExists(folder + "\\" + c.batch));
        EXPECT_NE(host->outputText().find("made from source"), std::string::npos);
        host->closeChild(child);
    }
}

TEST_F(BatchTest, ExistingBatchIsOverwrittenWithoutAQuestion)
{
    file("over.bat", "@echo off\r\necho stale contents\r\n");
    std::string source = file("over.asm", "@echo off\r\necho fresh contents\r\n");
    host->openChild(source, FILE_TYPE_ASSEMBLY);
    redirect(true);
    host->answer(Answer::press(IDYES));
    host->command(asmAsBatId);
    EXPECT_EQ(host->dialogs.size(), 1u);
    EXPECT_EQ(hostsim::readFile(folder + "\\over.bat"), hostsim::readFile(source));
    EXPECT_NE(host->outputText().find("fresh contents"), std::string::npos);
    EXPECT_EQ(host->outputText().find("stale contents"), std::string::npos);
}

TEST_F(BatchTest, FailedCopyRunsNothingAndSaysWhy)
{
    // A folder where the batch copy should go makes the copy fail.
    std::string source = file("blocked.asm", "@echo off\r\necho must not run\r\n");
    ASSERT_TRUE(CreateDirectoryA((folder + "\\blocked.bat").c_str(), nullptr));
    host->openChild(source, FILE_TYPE_ASSEMBLY);
    redirect(true);
    host->answer(Answer::press(IDYES));
    host->answer(Answer::press(IDOK));
    EXPECT_EQ(host->command(asmAsBatId), 1);
    ASSERT_EQ(host->dialogs.size(), 2u);
    const hostsim::DialogSeen& failure = host->dialogs[1];
    EXPECT_TRUE(failure.isMessageBox);
    EXPECT_EQ(failure.style & MB_ICONMASK, (UINT)MB_ICONERROR);
    EXPECT_EQ(failure.owner, host->frame());
    EXPECT_FALSE(failure.text.empty());
    EXPECT_EQ(host->outputText(), "");
    EXPECT_EQ(host->unexpectedDialogs, 0);
}

TEST_F(BatchTest, ShellRunOfAsmAsBatStillWritesAndRunsTheCopy)
{
    std::string marker = folder + "\\asm-marker.txt";
    std::string source = file("shellrun.asm", "@echo off\r\necho ran> \"" + marker + "\"\r\n");
    host->openChild(source, FILE_TYPE_ASSEMBLY);
    redirect(false);
    host->answer(Answer::press(IDYES));
    EXPECT_EQ(host->command(asmAsBatId), 1);
    EXPECT_TRUE(fileExists(folder + "\\shellrun.bat"));
    EXPECT_TRUE(appears(marker));
    EXPECT_EQ(host->outputText(), "");
}

}  // namespace
