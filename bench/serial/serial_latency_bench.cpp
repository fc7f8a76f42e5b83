// Reply latency and idle cost of the serial port component on a pseudo-terminal.
//
//   bench_serial [round trips (2000)] [idle seconds (10)]
//
// Latency: the master side writes one byte and waits for the reply. "to handler" is the
// time from that write to OnTriggerAvail running on the GUI thread; "round trip" adds the
// handler's SendByte reply travelling back to the master. The raw pseudo-terminal is
// measured the same way in the same run, with a thread blocked in poll() on the slave in
// place of the component. Idle: CPU time of the whole process while an open port waits
// for data and the GUI thread sits in its message wait.
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/resource.h>
#include <termios.h>
#include <unistd.h>

#include <QApplication>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "comm/serial/zp_com_port.h"
#include "platform/message_wait.h"

namespace {

using Clock = std::chrono::steady_clock;

struct Pty {
    int master = -1;
    int slave = -1;
    std::string path;
    Pty() {
        char name[128];
        if (::openpty(&master, &slave, name, nullptr, nullptr) != 0) {
            std::perror("openpty");
            std::exit(1);
        }
        path = name;
        termios t{};
        ::tcgetattr(slave, &t);
        ::cfmakeraw(&t);
        ::tcsetattr(slave, TCSANOW, &t);
    }
    ~Pty() {
        ::close(master);
        ::close(slave);
    }
};

void WriteByte(int fd, unsigned char b) {
    while (::write(fd, &b, 1) != 1) {
    }
}

unsigned char ReadByte(int fd) {
    unsigned char b = 0;
    for (;;) {
        pollfd p = {fd, POLLIN, 0};
        ::poll(&p, 1, -1);
        if (::read(fd, &b, 1) == 1) return b;
    }
}

struct Samples {
    std::vector<double> toHandler;  // microseconds
    std::vector<double> roundTrip;
};

// The master side's part of every measurement: write a byte, wait for the reply, and take
// the time the far side noted when the byte reached it.
void RunTrips(int trips, int master, const std::atomic<Clock::rep>& arrived, Samples& s) {
    for (int i = 0; i < trips; ++i) {
        const auto t0 = Clock::now();
        WriteByte(master, static_cast<unsigned char>(i));
        ReadByte(master);
        const auto t2 = Clock::now();
        const Clock::time_point t1{Clock::duration{arrived.load()}};
        s.toHandler.push_back(std::chrono::duration<double, std::micro>(t1 - t0).count());
        s.roundTrip.push_back(std::chrono::duration<double, std::micro>(t2 - t0).count());
    }
}

double Percentile(std::vector<double> v, double p) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    const std::size_t i = std::min(v.size() - 1, static_cast<std::size_t>(p * (v.size() - 1) + 0.5));
    return v[i];
}

void Print(const char* name, const Samples& s) {
    std::printf("%-22s to handler: median %7.1f us  p99 %7.1f us | round trip: median %7.1f us  p99 %7.1f us\n", name,
                Percentile(s.toHandler, 0.5), Percentile(s.toHandler, 0.99), Percentile(s.roundTrip, 0.5),
                Percentile(s.roundTrip, 0.99));
}

Samples MeasureRaw(int trips) {
    Pty pty;
    Samples s;
    std::atomic<Clock::rep> arrived{0};
    std::thread echo([&] {
        for (int i = 0; i < trips; ++i) {
            const unsigned char b = ReadByte(pty.slave);
            arrived = Clock::now().time_since_epoch().count();
            WriteByte(pty.slave, b);
        }
    });
    RunTrips(trips, pty.master, arrived, s);
    echo.join();
    return s;
}

Samples MeasureComponent(int trips, const std::string& folder) {
    Pty pty;
    std::filesystem::create_symlink(pty.path, folder + "/COM1");
    zp::TZpComPort port;
    port.SetPromptForPort(false);
    port.SetInSize(8192);
    port.SetOutSize(8192);
    port.SetComNumber(1);
    std::atomic<Clock::rep> arrived{0};
    port.SetOnTriggerAvail([&](zp::TZpCustomComPort& cp, std::uint16_t count) {
        arrived = Clock::now().time_since_epoch().count();
        for (int i = 0; i < count; ++i) cp.SendByte(cp.ReceiveByte());
    });
    port.SetOpen(true);
    Samples s;
    std::atomic<bool> done{false};
    std::thread master([&] {
        RunTrips(trips, pty.master, arrived, s);
        done = true;
        platform::WakeMessageWait();
    });
    platform::ProcessMessagesUntil([&] { return done.load(); });
    master.join();
    port.SetOpen(false);
    return s;
}

double CpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

double MeasureIdle(int seconds, const std::string& folder) {
    Pty pty;
    std::filesystem::create_symlink(pty.path, folder + "/COM2");
    zp::TZpComPort port;
    port.SetPromptForPort(false);
    port.SetComNumber(2);
    port.SetOnTriggerAvail([](zp::TZpCustomComPort&, std::uint16_t) {});
    port.SetOpen(true);
    const double cpu0 = CpuSeconds();
    const auto wall0 = Clock::now();
    platform::ProcessMessagesUntil([] { return false; }, seconds * 1000);
    const double cpu = CpuSeconds() - cpu0;
    const double wall = std::chrono::duration<double>(Clock::now() - wall0).count();
    port.SetOpen(false);
    return 100.0 * cpu / wall;
}

}  // namespace

int main(int argc, char** argv) {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    const int trips = argc > 1 ? std::atoi(argv[1]) : 2000;
    const int idleSeconds = argc > 2 ? std::atoi(argv[2]) : 10;
    char folderTemplate[] = "/tmp/bench_serial_XXXXXX";
    const std::string folder = ::mkdtemp(folderTemplate);
    ::setenv("ARVEX_COM_PORTS", folder.c_str(), 1);

    std::printf("serial reply latency over %d round trips (pseudo-terminal)\n", trips);
    const Samples raw = MeasureRaw(trips);
    const Samples component = MeasureComponent(trips, folder);
    Print("raw pseudo-terminal", raw);
    Print("TZpComPort", component);
    std::printf("added by the component at the median: to handler %.1f us, round trip %.1f us (target < 500 us)\n",
                Percentile(component.toHandler, 0.5) - Percentile(raw.toHandler, 0.5),
                Percentile(component.roundTrip, 0.5) - Percentile(raw.roundTrip, 0.5));
    const double idle = MeasureIdle(idleSeconds, folder);
    std::printf("idle open port over %d s: %.3f %% of one core (target < 1 %%)\n", idleSeconds, idle);
    std::filesystem::remove_all(folder);
    return 0;
}
