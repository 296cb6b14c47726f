// Opening setup files in a motor session without windows and without a motor
// (COM1 leads to a device that does not exist): a file saved from the pages
// (a few KB), the largest file taken (1 MiB, the parameters followed by a
// long line without '='), and a valid family-1 file whose parameter lines
// repeat to 50 MB (refused).
//
//   bench_setup_load [runs]    default 5, each in a new session
//
// A run is one LoadSetupFile, then the events it posted (the offline echoes
// of its writes). Its peak memory is the most the process held during the
// run above what it held before (VmHWM after the run, its mark reset through
// /proc/self/clear_refs, minus VmRSS before). Settings and files live in a
// private temporary folder.

#include "app/motorsession.h"
#include "app/setupfile.h"
#include "params/parameterlists.h"
#include "params/paramfactory.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTemporaryDir>

#include "bench/procmemory.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

using namespace quenor;
using quenor::bench::ResetPeak;
using quenor::bench::StatusKb;

namespace {

// The pages built without widgets.
class BenchView : public SessionView {
public:
    void BuildPages(const ParamTableSet& set) override
    {
        for (const ParamTable* t : {set.main, set.extra, set.status})
            for (int r = 0; r < t->RowCount(); ++r)
                if (auto c = CreateParamControl(session->ControlTarget(), t->Row(r)))
                    session->Controls().push_back(std::move(c));
    }
    void ArrangeControls(int) override {}
    MotorSession* session = nullptr;
};

class SilentUi : public VizuWareUi {
public:
    bool Ask(const std::string&, const std::string&, Buttons) override { return true; }
    void Message(const std::string&, const std::string&) override {}
};

struct Session {
    Session()
    {
        SessionOptions options;
        options.startCommunication = false;
        session = std::make_unique<MotorSession>(view, ui, MainSettings{}, options);
        view.session = session.get();
        session->prompts.error = [this](const QString&, const QString&) { ++errors; };
        session->prompts.loadInformation = [](const QString&, const QString&) {};
        session->Start(-1, QString());
        Drain();
    }
    static void Drain()
    {
        for (int i = 0; i < 3; ++i)
            QCoreApplication::processEvents(QEventLoop::AllEvents);
    }
    BenchView view;
    SilentUi ui;
    std::unique_ptr<MotorSession> session;
    int errors = 0;
};

void WriteText(const std::string& path, const std::string& text)
{
    std::ofstream(path, std::ios::binary).write(text.data(), static_cast<std::streamsize>(text.size()));
}

}  // namespace

int main(int argc, char** argv)
{
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    QTemporaryDir home;
    qputenv("XDG_CONFIG_HOME", (home.path() + "/config").toUtf8());
    qputenv("XDG_DATA_HOME", (home.path() + "/data").toUtf8());
    qputenv("QUENOR_COM1", (home.path() + "/no-such-port").toUtf8());
    QCoreApplication app(argc, argv);
    const std::string dir = home.path().toStdString();

    // The files: what the pages of a VekF save, the same with a long line
    // up to the largest size taken, and its parameter lines repeated to 50 MB.
    std::vector<std::string> lines;
    {
        Session s;
        s.session->OfflineTypeChosen(14);
        Session::Drain();
        lines = s.session->BuildSetupLines();
    }
    const std::string saved = JoinTextLines(lines);
    std::string body;
    for (const std::string& l : lines)
        if (l.empty() || l.front() != '[')
            body += l + "\r\n";
    std::string huge = saved;
    while (huge.size() < 50u * 1000 * 1000)
        huge += body;
    struct File {
        const char* what;
        std::string path;
        std::size_t size;
    };
    const std::vector<File> files = {
        {"saved from the pages", dir + "/saved.vek", saved.size()},
        {"largest taken (1 MiB)", dir + "/largest.vek", kSetupFileMaxBytes},
        {"parameter lines to 50 MB", dir + "/huge.vek", huge.size()},
    };
    WriteText(files[0].path, saved);
    WriteText(files[1].path, saved + std::string(kSetupFileMaxBytes - saved.size(), 'x'));
    WriteText(files[2].path, huge);
    huge.clear();
    huge.shrink_to_fit();

    for (const File& f : files) {
        std::vector<double> ms;
        double peakMb = 0;
        int errors = 0;
        for (int r = 0; r < runs; ++r) {
            Session s;
            ResetPeak();
            const long before = StatusKb("VmRSS");
            const auto t0 = std::chrono::steady_clock::now();
            s.session->LoadSetupFile(QString::fromStdString(f.path));
            Session::Drain();
            const auto t1 = std::chrono::steady_clock::now();
            peakMb = std::max(peakMb, (StatusKb("VmHWM") - before) / 1024.0);
            ms.push_back(std::chrono::duration<double, std::milli>(t1 - t0).count());
            errors = s.errors;
        }
        std::sort(ms.begin(), ms.end());
        std::printf("%-28s %7.1f MB  %s  min %9.1f ms  median %9.1f ms  peak +%6.1f MB\n", f.what,
                    static_cast<double>(f.size) / 1e6, errors ? "refused" : "loaded ", ms.front(),
                    ms[ms.size() / 2], peakMb);
    }
    return 0;
}
