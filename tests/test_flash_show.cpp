// The flash report and --gentle on the whole show, through the built
// program on the generated data: the default show's flashes are found where
// they are, and with --gentle no frame of the show fails by either reading
// at either field step, every field keeping to the limiter's margin.
#include "test_process.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <vector>

namespace fs = std::filesystem;

namespace {
struct report {
    int status;
    std::string json, out;
};

report run(const std::string& args) {
    const fs::path dir = fs::temp_directory_path() / ("ostra-flash-" + std::to_string(getpid()));
    fs::create_directories(dir);
    const fs::path file = dir / "flash.json";
    fs::remove(file);
    report r;
    r.out = test_process::output_of(std::string(OSTRA_SHOW_BIN) + " --data " + OSTRA_DATA_DIR +
                                    " --flash-report " + file.string() + " " + args + " 2>&1; echo status=$?");
    const std::smatch m = [&] {
        std::smatch s;
        std::regex_search(r.out, s, std::regex("status=(\\d+)"));
        return s;
    }();
    r.status = m.empty() ? -1 : std::stoi(m[1]);
    std::ifstream f(file);
    r.json.assign(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
    fs::remove_all(dir);
    return r;
}

long number(const std::string& json, const std::string& key) {
    std::smatch m;
    if (!std::regex_search(json, m, std::regex("\"" + key + "\": (\\d+)")))
        return -1;
    return std::stol(m[1]);
}
}  // namespace

TEST(FlashShow, GentleWholeShowHasNoFailingFrame) {
    const report r = run("--gentle");
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_GT(number(r.json, "frames"), 5000);
    EXPECT_EQ(number(r.json, "failing_frames"), 0) << r.out;
    EXPECT_NE(r.json.find("\"gentle\": true"), std::string::npos);
    // each check on its own: no failing frame, at most 5 transitions (a
    // field at 5 somewhere: the margin is reached, so the check really ran)
    for (const char* check : {"first_sixth", "first_twelfth", "second_sixth", "second_twelfth"}) {
        SCOPED_TRACE(check);
        std::smatch m;
        ASSERT_TRUE(std::regex_search(r.json, m,
                                      std::regex(std::string("\"checks\": \\{[^\\n]*\"") + check +
                                                 "\": \\{\"failing_frames\": (\\d+), \"general\": (\\d+), \"red\": (\\d+)\\}")))
            << r.json.substr(0, 800);
        EXPECT_EQ(std::stoi(m[1]), 0);
        EXPECT_EQ(std::max(std::stoi(m[2]), std::stoi(m[3])), 5);
    }
    EXPECT_NE(r.out.find("flash: by reading and field step: first_sixth 0 failing (worst 5), first_twelfth 0 failing "
                         "(worst 5), second_sixth 0 failing (worst 5), second_twelfth 0 failing (worst 5)"),
              std::string::npos)
        << r.out;
}

TEST(FlashShow, DefaultShowFailsInTheBeatScene) {
    // up to music 45 s: the title cards pass, the beat scene's backgrounds
    // alternate faster than three flashes a second
    const report r = run("--quit-at 60000");
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_GT(number(r.json, "failing_frames"), 100);
    EXPECT_NE(r.json.find("{\"name\": \"title\", \"frames\": 663, \"failing_frames\": 0"), std::string::npos) << r.json;
    EXPECT_NE(r.json.find("\"scene\": \"beat\", \"kind\": \"general\", \"worst\": 21"), std::string::npos);
    EXPECT_NE(r.out.find("flash: music 0:20  beat"), std::string::npos) << r.out;
    // both readings find the beat scene's opening
    EXPECT_NE(r.out.find("flash: music 0:20  beat        28 failing frames, worst 21 general and 0 red transitions "
                         "in a field within a second (first+second)"),
              std::string::npos)
        << r.out;
}

// frames.csv rows from `frame` on: frame, tick and hash.
std::vector<std::string> captured(const std::string& args) {
    const fs::path dir = fs::temp_directory_path() / ("ostra-flash-cap-" + std::to_string(getpid()));
    fs::remove_all(dir);
    test_process::output_of(std::string(OSTRA_SHOW_BIN) + " --data " + OSTRA_DATA_DIR + " --capture " +
                            dir.string() + " --png-every 100000 " + args + " 2>&1");
    std::ifstream f(dir / "frames.csv");
    std::vector<std::string> rows;
    for (std::string line; std::getline(f, line);) {
        const auto c1 = line.find(','), c2 = line.find(',', c1 + 1);
        rows.push_back(line.substr(0, c2) + line.substr(line.rfind(',')));
    }
    fs::remove_all(dir);
    return rows;
}

TEST(FlashShow, GentleFromAStartPointShowsTheFramesOfAFullRun) {
    // the limiter sees the frames run ahead unseen, so from the start point
    // on the limited beat scene is that of a run from the beginning
    const auto full = captured("--gentle --quit-at 45000");
    const auto part = captured("--gentle --quit-at 45000 --start 22000");
    ASSERT_GT(part.size(), 200u);
    ASSERT_GT(full.size(), part.size());
    EXPECT_TRUE(std::equal(part.begin() + 1, part.end(), full.end() - (part.size() - 1)));
}

TEST(FlashShow, RefusesBeforeTheShowStarts) {
    const report combined = run("--gentle --capture /tmp/x");
    EXPECT_EQ(combined.status, 2) << "a flash report runs on its own";
    const std::string out = test_process::output_of(std::string(OSTRA_SHOW_BIN) + " --data " + OSTRA_DATA_DIR +
                                                    " --flash-report /nonexistent/dir/r.json 2>&1; echo status=$?");
    EXPECT_NE(out.find("/nonexistent/dir/r.json: cannot write the flash report"), std::string::npos) << out;
    EXPECT_NE(out.find("status=1"), std::string::npos) << out;
}
