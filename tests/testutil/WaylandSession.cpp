#include "WaylandSession.h"

#include "ChildProcess.h"

#include "wlr-virtual-pointer-unstable-v1-client-protocol.h"

#include <wayland-client.h>

#include <cstring>
#include <filesystem>
#include <sstream>

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// ---------------------------------------------------------------------------
// The virtual pointer
// ---------------------------------------------------------------------------

struct tWaylandSession::tPointer {
    wl_display* display = nullptr;
    wl_seat* seat = nullptr;
    zwlr_virtual_pointer_manager_v1* manager = nullptr;
    zwlr_virtual_pointer_v1* pointer = nullptr;

    explicit tPointer(const std::string& socket)
    {
        display = wl_display_connect(socket.c_str());
        if (!display)
            return;
        static const wl_registry_listener listener{
            [](void* data, wl_registry* registry, uint32_t name, const char* interface, uint32_t) {
                auto* self = static_cast<tPointer*>(data);
                if (std::strcmp(interface, wl_seat_interface.name) == 0 && !self->seat)
                    self->seat = static_cast<wl_seat*>(wl_registry_bind(registry, name, &wl_seat_interface, 1));
                else if (std::strcmp(interface, zwlr_virtual_pointer_manager_v1_interface.name) == 0)
                    self->manager = static_cast<zwlr_virtual_pointer_manager_v1*>(
                        wl_registry_bind(registry, name, &zwlr_virtual_pointer_manager_v1_interface, 1));
            },
            [](void*, wl_registry*, uint32_t) {}};
        wl_registry* registry = wl_display_get_registry(display);
        wl_registry_add_listener(registry, &listener, this);
        wl_display_roundtrip(display);
        wl_registry_destroy(registry);
        if (manager)
            pointer = zwlr_virtual_pointer_manager_v1_create_virtual_pointer(manager, seat);
        wl_display_roundtrip(display);
    }

    ~tPointer()
    {
        if (pointer)
            zwlr_virtual_pointer_v1_destroy(pointer);
        if (manager)
            zwlr_virtual_pointer_manager_v1_destroy(manager);
        if (seat)
            wl_seat_destroy(seat);
        if (display)
            wl_display_disconnect(display);
    }

    bool Move(int x, int y, int width, int height)
    {
        if (!pointer)
            return false;
        static uint32_t time = 0;
        time += 16;
        zwlr_virtual_pointer_v1_motion_absolute(pointer, time, static_cast<uint32_t>(x), static_cast<uint32_t>(y),
                                                static_cast<uint32_t>(width), static_cast<uint32_t>(height));
        zwlr_virtual_pointer_v1_frame(pointer);
        return wl_display_roundtrip(display) >= 0;
    }
};

// ---------------------------------------------------------------------------
// The session
// ---------------------------------------------------------------------------

namespace {

/// The first entry of the folder whose name starts with the prefix and does
/// not end with the suffix to skip.
std::string FindEntry(const std::string& folder, const std::string& prefix, const std::string& skip)
{
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(folder, error)) {
        const std::string name = entry.path().filename();
        if (name.rfind(prefix, 0) == 0 && (skip.empty() || !name.ends_with(skip)))
            return entry.path();
    }
    return {};
}

} // namespace

tWaylandSession::tWaylandSession(int outputs, const std::string& config)
{
    for (const char* folder : {"home", "runtime"})
        fs::create_directories(dir_.File(folder));
    // Every window floats at the size its program asks for: tests resize
    // windows and expect the sizes they set.
    WriteTextFile(dir_.File("config"), "for_window [app_id=\".*\"] floating enable\n" + config + "\n");
    GiveToUnprivileged(dir_.Path());
    fs::permissions(dir_.File("runtime"), fs::perms::owner_all);

    std::vector<std::string> argv = Unprivileged({"env", "-i"});
    argv.insert(argv.end(), {"PATH=/usr/bin:/bin", "HOME=" + dir_.File("home"), "XDG_RUNTIME_DIR=" + dir_.File("runtime"),
                             "WLR_BACKENDS=headless", "WLR_RENDERER=pixman", "WLR_LIBINPUT_NO_DEVICES=1",
                             "WLR_HEADLESS_OUTPUTS=" + std::to_string(outputs)});
    argv.insert(argv.end(), {"sway", "-c", dir_.File("config")});
    sway_ = std::make_unique<tChildProcess>(argv, std::vector<std::string>{"PATH=/usr/bin:/bin"}, dir_.File("sway.log"));

    // Ready once both sockets exist and sway answers with its outputs.
    const std::string runtime = dir_.File("runtime");
    const bool ready = WaitUntil(
        [&] {
            if (!sway_->Running())
                return true;
            socket_ = FindEntry(runtime, "wayland-", ".lock");
            ipcSocket_ = FindEntry(runtime, "sway-ipc.", "");
            return !socket_.empty() && !ipcSocket_.empty() && Outputs().size() == static_cast<size_t>(outputs);
        },
        30s);
    if (!ready || !sway_->Running()) {
        socket_.clear();
        return;
    }
    pointer_ = std::make_unique<tPointer>(socket_);
}

tWaylandSession::~tWaylandSession()
{
    pointer_.reset();
    if (sway_)
        sway_->Terminate(10s);
}

std::string tWaylandSession::Log() const { return ReadTextFile(dir_.File("sway.log")); }

std::vector<std::string> tWaylandSession::Environment() const
{
    return {"WAYLAND_DISPLAY=" + socket_, "XDG_SESSION_TYPE=wayland"};
}

bool tWaylandSession::Command(const std::string& command) const
{
    const tCommandResult result = RunCommand("swaymsg -s '" + ipcSocket_ + "' -- " + command);
    return result.exitCode == 0;
}

std::vector<tOutputPlace> tWaylandSession::Outputs() const
{
    // The plain report: "Output NAME '...'", then indented lines such as
    // "Current mode: 1280x720 @ 60.000 Hz" and "Position: 1280,0".
    std::vector<tOutputPlace> places;
    if (ipcSocket_.empty())
        return places;
    const tCommandResult result = RunCommand("swaymsg -p -s '" + ipcSocket_ + "' -t get_outputs");
    if (result.exitCode != 0)
        return places;
    std::istringstream lines(result.output);
    std::string line;
    bool disabled = false;
    while (std::getline(lines, line)) {
        if (line.rfind("Output ", 0) == 0) {
            if (!places.empty() && disabled)
                places.pop_back();
            disabled = line.find("(disabled)") != std::string::npos;
            std::istringstream words(line.substr(7));
            places.emplace_back();
            words >> places.back().name;
        } else if (!places.empty() && std::sscanf(line.c_str(), "  Current mode: %dx%d", &places.back().width,
                                                   &places.back().height) == 2) {
        } else if (!places.empty()) {
            std::sscanf(line.c_str(), "  Position: %d,%d", &places.back().x, &places.back().y);
        }
    }
    if (!places.empty() && disabled)
        places.pop_back();
    return places;
}

bool tWaylandSession::WaitForOutputs(size_t n) const
{
    return WaitUntil([&] { return Outputs().size() == n; }, 10s);
}

tScreenShot tWaylandSession::Shot(const std::string& output) const
{
    const std::string path = dir_.File("shot-" + output + ".png");
    std::error_code error;
    fs::remove(path, error);
    const tCommandResult result =
        RunCommand("env WAYLAND_DISPLAY='" + socket_ + "' grim -o '" + output + "' '" + path + "'");
    return result.exitCode == 0 ? LoadShot(path) : tScreenShot{};
}

namespace {
/// Milliseconds wtype waits between making its keyboard and typing.
constexpr const char* kKeyboardSettles = "300";
} // namespace

bool tWaylandSession::Type(const std::vector<std::string>& arguments) const
{
    return StartTyping(arguments)->Wait(10s) == 0;
}

std::unique_ptr<tChildProcess> tWaylandSession::StartTyping(const std::vector<std::string>& arguments) const
{
    std::vector<std::string> argv{"wtype", "-s", kKeyboardSettles};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    return std::make_unique<tChildProcess>(argv, std::vector<std::string>{"PATH=/usr/bin:/bin", "WAYLAND_DISPLAY=" + socket_},
                                           dir_.File("wtype.log"));
}

bool tWaylandSession::MovePointer(int x, int y)
{
    int right = 0;
    int bottom = 0;
    for (const tOutputPlace& output : Outputs()) {
        right = std::max(right, output.x + output.width);
        bottom = std::max(bottom, output.y + output.height);
    }
    return pointer_ && right > 0 && pointer_->Move(x, y, right, bottom);
}
