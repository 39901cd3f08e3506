#include "app/commandline.h"
#include "app/drawapp.h"
#include "app/singleinstance.h"
#include "framework/settings.h"
#include "printing/labelwizard.h"

#include <QApplication>

#include <cstdio>

int main(int argc, char** argv)
{
    // The help needs no display: it is printed before the program connects to one.
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    if (CCommandLineInfo::Parse(arguments).m_bShowHelp) {
        std::fputs(qPrintable(CCommandLineInfo::Usage()), stdout);
        return 0;
    }

    // Qt's own dialogs rather than the desktop's, so that our button captions reach them.
    QApplication::setAttribute(Qt::AA_DontUseNativeDialogs);
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QString::fromLatin1(CSettings::kOrganisation));
    QApplication::setApplicationName(QString::fromLatin1(CSettings::kApplication));

    const CCommandLineInfo info = CCommandLineInfo::Parse(app.arguments().mid(1));
    if (!info.m_strError.isEmpty()) {
        std::fprintf(stderr, "quillbar: %s\n%s", qPrintable(info.m_strError), qPrintable(CCommandLineInfo::Usage()));
        return 2;
    }

    // Files for a program that already runs are opened there; this start ends with its answer.
    const QString instanceName = CInstanceChannel::DefaultName();
    if (info.m_nShellCommand == CCommandLineInfo::FileOpen) {
        switch (CInstanceChannel::SendFiles(instanceName, info.m_files)) {
        case CInstanceChannel::Handover::Opened: return 0;
        case CInstanceChannel::Handover::Failed:
            std::fprintf(stderr, "quillbar: the running program could not open %s\n", qPrintable(info.m_files.join(u' ')));
            return 1;
        case CInstanceChannel::Handover::NoInstance: break;
        }
    }

    // New labels are laid out on their sheet by the label wizard.
    InstallLabelWizard();
    // The resource module is loaded by the start-up sequence, from --resources or its usual place.
    CDrawApp drawApp;
    CDrawApp::StartOptions options;
    options.instanceName = instanceName;
    if (!drawApp.InitInstance(info, options) || drawApp.PrintOnly()) {
        drawApp.ExitInstance();
        return drawApp.ExitCode();
    }
    app.exec();
    return drawApp.ExitInstance();
}
