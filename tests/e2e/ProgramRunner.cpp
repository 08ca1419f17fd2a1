#include "ProgramRunner.h"

#include <filesystem>

extern char** environ;

tProgramFolder::tProgramFolder()
{
    std::filesystem::copy_file(FRACTAL_BINARY, Binary());
    std::filesystem::create_directories(dir_.File("runtime"));
    std::filesystem::permissions(dir_.File("runtime"), std::filesystem::perms::owner_all); // as XDG requires
    std::filesystem::create_directories(dir_.File("config"));
}

std::vector<std::string> tProgramFolder::Environment() const
{
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) {
        const std::string entry = *e;
        if (entry.rfind("XDG_RUNTIME_DIR=", 0) == 0 || entry.rfind("XDG_CONFIG_HOME=", 0) == 0 ||
            entry.rfind("XDG_STATE_HOME=", 0) == 0 || entry.rfind("XSCREENSAVER_WINDOW=", 0) == 0 ||
            entry.rfind("FRACTAL_", 0) == 0)
            continue;
        env.push_back(entry);
    }
    env.push_back("FRACTAL_NO_DIALOGS=1");
    env.push_back("XDG_RUNTIME_DIR=" + dir_.File("runtime"));
    env.push_back("XDG_CONFIG_HOME=" + dir_.File("config"));
    env.push_back("XDG_STATE_HOME=" + dir_.File("state"));
    return env;
}

tRunningProgram::tRunningProgram(const tProgramFolder& folder, const std::vector<std::string>& args,
                                 const std::vector<std::string>& extraEnv)
{
    std::vector<std::string> env = folder.Environment();
    for (const auto& extra : extraEnv) {
        const std::string name = extra.substr(0, extra.find('='));
        std::erase_if(env, [&](const std::string& e) { return e.rfind(name + "=", 0) == 0; });
        if (extra.find('=') != std::string::npos)
            env.push_back(extra);
    }
    std::vector<std::string> argv{folder.Binary()};
    argv.insert(argv.end(), args.begin(), args.end());
    Start(std::move(argv), std::move(env), folder.OutputPath());
}

int RunProgram(const tProgramFolder& folder, const std::vector<std::string>& args, std::chrono::milliseconds timeout)
{
    return RunProgram(folder, args, {}, timeout);
}

int RunProgram(const tProgramFolder& folder, const std::vector<std::string>& args,
               const std::vector<std::string>& extraEnv, std::chrono::milliseconds timeout)
{
    tRunningProgram p(folder, args, extraEnv);
    return p.Wait(timeout);
}

std::chrono::milliseconds ResponseLimit(std::chrono::milliseconds limit)
{
#ifdef QX_PROGRAM_SANITIZED
    return 3 * limit;
#else
    return limit;
#endif
}
