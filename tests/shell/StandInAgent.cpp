// A stand-in agent for the shell's tests. Run as "drovik", "quenlo", ... it
// owns that agent's name, logs its start and quit to $STANDIN_LOG, answers the
// download count from $STANDIN_DOWNLOADS and quits on 'aevt'/'quit'.
#include "platform/EventLoop.h"
#include "platform/Messages.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <map>

static void AppendToLog(const QString& line)
{
    QFile log(qEnvironmentVariable("STANDIN_LOG"));
    if (log.open(QIODevice::Append | QIODevice::Text))
        log.write((line + '\n').toUtf8());
}

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    const std::map<QString, FourCharCode> kCreators = {
        {"drovik", MakeFourCharCode("Drvk")}, {"quenlo", MakeFourCharCode("Qnlo")},
        {"tarvish", MakeFourCharCode("Trvs")}, {"saffrel", MakeFourCharCode("Sfrl")},
        {"pellick", MakeFourCharCode("Plck")},
    };
    QString name = QFileInfo(QString::fromLocal8Bit(argv[0])).fileName();
    auto creator = kCreators.find(name);
    if (creator == kCreators.end())
        return 2;
    if (OwnMessageName(creator->second) != NameOwnership::Owned)
        return 3;
    AppendToLog("started " + name);

    InstallMessageHandler(MakeFourCharCode("aevt"), MakeFourCharCode("quit"), [name](std::string_view, std::string&) {
        AppendToLog("quit " + name);
        QuitApplicationEventLoop();
        return kNoErr;
    });
    InstallMessageHandler(MakeFourCharCode("Drvk"), MakeFourCharCode("Cntd"), [](std::string_view, std::string& reply) {
        reply = EncodeReplyShort(int16_t(qEnvironmentVariableIntValue("STANDIN_DOWNLOADS")));
        return kNoErr;
    });
    application.exec();
    ReleaseMessageName();
    return 0;
}
