#include "cli/ports/simulated_instrument.h"

#include "sim/flash_file.h"
#include "sim/sim_server.h"

#include <filesystem>
#include <thread>

namespace qelisp::cli {

namespace {

class PtyInstrument final : public SimulatedInstrument {
public:
    PtyInstrument(std::unique_ptr<sim::SimServer> server, std::string flashFile)
        : server_(std::move(server)), flashFile_(std::move(flashFile)), thread_([this] { server_->run(); }) {}
    ~PtyInstrument() override { stop(); }

    const std::string& portName() const override { return server_->ptyPath(); }

    std::string stop() override {
        if (!thread_.joinable()) return {};
        server_->stop();
        thread_.join();
        auto stats = server_->stats();
        std::string report = "simulated instrument: lines " + std::to_string(stats.lines) + ", violations " +
                             std::to_string(stats.violations) + ", bytes written " + std::to_string(stats.bytesWritten);
        if (!flashFile_.empty()) {
            std::string error;
            auto flash = server_->flashCopy();
            report += sim::writeFlashFile(flashFile_, flash, error) ? ", flash saved to " + flashFile_
                                                                    : ", flash not saved: " + error;
        }
        return report;
    }

private:
    std::unique_ptr<sim::SimServer> server_;
    std::string flashFile_;
    std::thread thread_;
};

}  // namespace

std::unique_ptr<SimulatedInstrument> SimulatedInstrument::start(const Settings& settings, std::string& error) {
    sim::SimOptions options;
    options.pacing = settings.pacing;
    std::error_code ec;
    if (!settings.flashFile.empty() && std::filesystem::exists(settings.flashFile, ec)) {
        options.loadPath = settings.flashFile;
    }
    // Keep the simulator's own log off the console: the job's status lines
    // are what the user reads here.
    options.log = [](const std::string&) {};
    auto server = sim::SimServer::create(options, error);
    if (!server) return nullptr;
    return std::make_unique<PtyInstrument>(std::move(server), settings.flashFile);
}

}  // namespace qelisp::cli
