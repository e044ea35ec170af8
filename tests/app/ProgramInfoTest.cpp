#include <gtest/gtest.h>

#include <QProcess>

#include "app/AppSettings.h"
#include "app/ProgramInfo.h"

TEST(ProgramInfo, VersionAndHelpAreFoundAmongTheArguments) {
  const struct {
    QStringList arguments;
    InfoRequest request;
  } cases[] = {
      {{"toraScan"}, InfoRequest::None},
      {{"toraScan", "a.dcm", "--layout", "1x2"}, InfoRequest::None},
      {{"toraScan", "--version"}, InfoRequest::Version},
      {{"toraScan", "--layout", "2x2", "--help"}, InfoRequest::Help},
      {{"toraScan", "-h"}, InfoRequest::Help},
      {{"--help"}, InfoRequest::None},  // the program's own name
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.arguments.join(' ').toStdString());
    EXPECT_EQ(FindInfoRequest(c.arguments), c.request);
  }
  EXPECT_TRUE(BuildVersion().startsWith(AppSettings::version()));
  EXPECT_EQ(VersionLine("toraScan"), "toraScan " + BuildVersion() + "\n");
}

// Both answers on standard output with status 0, as packaging tools and users expect.
TEST(ProgramInfo, TheCommandLineToolAnswersVersionAndHelp) {
  for (const char* option : {"--version", "--help"}) {
    SCOPED_TRACE(option);
    QProcess cli;
    cli.start(TORASCAN_CLI, {option});
    ASSERT_TRUE(cli.waitForFinished(30000));
    EXPECT_EQ(cli.exitCode(), 0);
    const QString out = QString::fromUtf8(cli.readAllStandardOutput());
    EXPECT_TRUE(out.contains(option == QLatin1String("--version") ? BuildVersion()
                                                                  : QStringLiteral("watch --db")))
        << out.toStdString();
  }
}
