// Start points from the checkpoints `make data` writes, through the built
// program: every scene started from its checkpoint, or from the fullscreen
// run's where the windowed run's is missing, lists the full run's very
// frames (with and without --gentle); a checkpoint of another build,
// of other data, cut short or damaged is refused with a message naming it,
// and the start still gives the full run's frames by running ahead.
#include "checkpoint_file.h"
#include "show_timeline.h"
#include "test_rt_util.h"

#include <sys/wait.h>

#include <fstream>
#include <iterator>
#include <map>
#include <tuple>
#include <sstream>

namespace fs = std::filesystem;

namespace {

std::string read_text(const fs::path& p) {
    std::ifstream f(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
}

// Runs the built program (at most five minutes); its exit status, its
// standard error in `err`.
int run_program(const std::string& args, const fs::path& err) {
    const std::string cmd = "timeout 300 " + std::string(OSTRA_SHOW_BIN) + " " + args + " >/dev/null 2>'" +
                            err.string() + "'";
    const int status = std::system(cmd.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

struct row {
    long index = 0;
    long tick = 0;
    std::string scene, line;
};

// frames.csv's rows by frame index.
std::map<long, row> frames_of(const fs::path& csv) {
    std::map<long, row> out;
    std::istringstream in(read_text(csv));
    std::string line;
    std::getline(in, line);  // header
    while (std::getline(in, line)) {
        std::istringstream f(line);
        std::string index, tick, music, order, pattern, r, scene;
        std::getline(f, index, ','), std::getline(f, tick, ','), std::getline(f, music, ',');
        std::getline(f, order, ','), std::getline(f, pattern, ','), std::getline(f, r, ',');
        std::getline(f, scene, ',');
        out[std::stol(index)] = row{std::stol(index), std::stol(tick), scene, line};
    }
    return out;
}

// The first frame of a scene in a run.
const row* first_of(const std::map<long, row>& frames, const std::string& scene) {
    for (const auto& [i, r] : frames)
        if (r.scene == scene)
            return &r;
    return nullptr;
}

// Every frame of `part` before tick `stop` (its injected stop: the scenes
// after it still show their closing frames) is the full run's frame of that
// index, and `part` begins at `first` and holds at least `at_least` of them.
void expect_frames_of_full_run(const std::map<long, row>& full, const std::map<long, row>& part, long first,
                               size_t at_least, long stop = 1L << 40) {
    ASSERT_FALSE(part.empty());
    EXPECT_EQ(part.begin()->first, first);
    size_t compared = 0;
    for (const auto& [i, r] : part) {
        if (r.tick >= stop)
            break;
        ++compared;
        const auto it = full.find(i);
        ASSERT_NE(it, full.end()) << "frame " << i;
        ASSERT_EQ(r.line, it->second.line) << "frame " << i;
    }
    EXPECT_GE(compared, at_least);
}

struct CheckpointRuns : rt_test::runtime_fixture {
    rt_test::temp_dir dir{"rt-ckp"};
    std::string data = rt_test::data_dir().string();
    std::string common = "-w --data '" + data + "' --png-every 100000 ";

    // A capture of the whole show, or from `start` (with --quit-at `quit`).
    std::map<long, row> capture(const std::string& name, const std::string& extra, std::string* err_text = nullptr) {
        const fs::path out = dir.path / name, err = dir.path / (name + ".err");
        EXPECT_EQ(run_program(common + extra + " --capture '" + out.string() + "'", err), 0) << read_text(err);
        if (err_text)
            *err_text = read_text(err);
        return frames_of(out / "frames.csv");
    }
};

}  // namespace

TEST_F(CheckpointRuns, EverySceneFromItsCheckpointListsTheFullRunsFramesGentleOrNot) {
    if (!rt_test::have_data() || !fs::exists(rt_test::data_dir() / "checkpoints"))
        GTEST_SKIP() << "no generated data and checkpoints in " << rt_test::data_dir();
    // The fullscreen runs' checkpoints without the windowed runs' own.
    const fs::path fullscreen_only = dir.path / "fullscreen-only";
    fs::create_directories(fullscreen_only);
    for (const auto& e : fs::directory_iterator(rt_test::data_dir() / "checkpoints"))
        if (e.path().extension() == ".ockp" && e.path().stem().string().find("-w") == std::string::npos)
            fs::copy_file(e.path(), fullscreen_only / e.path().filename());
    for (const bool gentle : {false, true}) {
        SCOPED_TRACE(gentle ? "gentle" : "default");
        const std::string kind = gentle ? "--gentle " : "";
        const auto full = capture(gentle ? "full-gentle" : "full", kind);
        ASSERT_GT(full.size(), 5000u);
        for (const show_timeline::scene& sc : show_timeline::scenes) {
            SCOPED_TRACE(sc.name);
            const row* first = first_of(full, sc.name);
            ASSERT_NE(first, nullptr);
            // The whole scene: the restored state, the song's clock, rows and
            // spectrum (the scopes) and the limiter's history all show, and
            // so would any pixels of the screen or the work bitmap that the
            // scene reads before drawing them over (its checkpoint leaves
            // them out when the timeline says it redraws them).
            std::string err;
            const size_t at = static_cast<size_t>(&sc - show_timeline::scenes);
            const row* next = at + 1 < std::size(show_timeline::scenes)
                                  ? first_of(full, show_timeline::scenes[at + 1].name)
                                  : nullptr;
            const long whole = next ? next->tick : full.rbegin()->second.tick + 1;
            const auto part = capture(std::string(gentle ? "g-" : "") + sc.name,
                                      kind + "--start " + sc.name + " --quit-at " + std::to_string(whole), &err);
            EXPECT_NE(err.find(std::string("starting from the ") + sc.name + " scene's checkpoint"), std::string::npos)
                << err;
            EXPECT_EQ(err.find("rendering the song"), std::string::npos) << "the song cache serves: " << err;
            expect_frames_of_full_run(full, part, first->index, 300, whole);
            // 1.5 s of the scene from the other timing's checkpoint.
            const long stop = first->tick + 1500;
            // The same from the fullscreen run's checkpoint alone (a site
            // carries only those, and no song cache): its ticks move by the
            // settle wait, and the song is rendered up to the start.
            const auto moved = capture(std::string(gentle ? "gm-" : "m-") + sc.name,
                                       kind + "--checkpoints '" + fullscreen_only.string() + "' --start " + sc.name +
                                           " --quit-at " + std::to_string(stop),
                                       &err);
            EXPECT_NE(err.find(std::string("starting from the ") + sc.name + " scene's checkpoint"), std::string::npos)
                << err;
            expect_frames_of_full_run(full, moved, first->index, 40, stop);
        }
        // A start at a music time restores the last checkpoint before it and
        // runs ahead within the scene: the final scene's frames to the end.
        std::string err;
        const auto late = capture(gentle ? "g-late" : "late", kind + "--start 140000", &err);
        EXPECT_NE(err.find("starting from the final scene's checkpoint"), std::string::npos) << err;
        ASSERT_FALSE(late.empty());
        EXPECT_EQ(late.rbegin()->first, full.rbegin()->first) << "to the show's end";
        expect_frames_of_full_run(full, late, late.begin()->first, 500);
    }
}

TEST_F(CheckpointRuns, AnotherBuildsOtherDatasCutOrDamagedCheckpointsAreRefusedAndTheStartRunsAhead) {
    if (!rt_test::have_data() || !fs::exists(rt_test::data_dir() / "checkpoints"))
        GTEST_SKIP() << "no generated data and checkpoints in " << rt_test::data_dir();
    const auto full = capture("full", "--quit-at 14000");
    const row* first = first_of(full, "title");
    ASSERT_NE(first, nullptr);
    const fs::path good = rt_test::data_dir() / "checkpoints" / "title-w.ockp";
    checkpoint::header h;
    std::vector<std::uint8_t> payload;
    std::string error;
    ASSERT_TRUE(checkpoint::read_file(good.string(), h, payload, error)) << error;
    const std::string bytes = read_text(good);
    // The files make data writes say what run made them: -w without the
    // settle wait, the others with it; -gentle those of a gentle run.
    EXPECT_EQ(h.settle, 0);
    EXPECT_EQ(h.gentle, 0);
    for (const auto& [name, settle, gentle] : {std::tuple{"title.ockp", 1, 0}, std::tuple{"title-gentle-w.ockp", 0, 1},
                                               std::tuple{"title-gentle.ockp", 1, 1}}) {
        checkpoint::header other;
        ASSERT_TRUE(checkpoint::read_header((rt_test::data_dir() / "checkpoints" / name).string(), other, error))
            << error;
        EXPECT_EQ(other.settle, settle) << name;
        EXPECT_EQ(other.gentle, gentle) << name;
        EXPECT_EQ(other.tick, h.tick + (settle ? 3000u : 0u)) << name << ": the settle wait's 3 s";
    }

    struct variant {
        const char* name;
        const char* says;  // in the message, after the file's path
    };
    for (const variant v : {variant{"build", ": made by another build of the program or from other data"},
                            variant{"data", ": made by another build of the program or from other data"},
                            variant{"cut", ": the packed payload should be"},
                            variant{"damaged", "checkpoint of the title scene refused: "}}) {
        SCOPED_TRACE(v.name);
        const fs::path folder = dir.path / (std::string("ckp-") + v.name);
        fs::create_directories(folder);
        const fs::path file = folder / "title-w.ockp";
        checkpoint::header other = h;
        std::vector<std::uint8_t> body = payload;
        if (std::string(v.name) == "build")
            other.program ^= 1;
        if (std::string(v.name) == "data")
            other.data ^= 1;
        if (std::string(v.name) == "damaged")
            body.resize(body.size() - 16);  // packed and checked, but short of its parts
        ASSERT_TRUE(checkpoint::write_file(file.string(), other, body, error)) << error;
        if (std::string(v.name) == "cut") {
            std::ofstream out(file, std::ios::binary | std::ios::trunc);
            out.write(bytes.data(), static_cast<std::streamsize>(bytes.size() / 2));
        }
        std::string err;
        const long stop = first->tick + 1500;
        const auto part = capture(std::string("start-") + v.name,
                                  "--checkpoints '" + folder.string() + "' --start title --quit-at " +
                                      std::to_string(stop),
                                  &err);
        EXPECT_NE(err.find(v.says), std::string::npos) << err;
        if (std::string(v.name) != "damaged") {
            EXPECT_NE(err.find(file.string()), std::string::npos) << "the message names the file: " << err;
        }
        EXPECT_EQ(err.find("starting from the"), std::string::npos) << err;
        expect_frames_of_full_run(full, part, first->index, 40, stop);
    }
}

// With both timings' files present, a run restores its own: the windowed
// run the "-w" file, a fullscreen-timed run the other. The other timing's
// file is made by "another build" here, so restoring it would be refused.
TEST_F(CheckpointRuns, ARunRestoresItsOwnTimingsFileWhenBothArePresent) {
    if (!rt_test::have_data() || !fs::exists(rt_test::data_dir() / "checkpoints"))
        GTEST_SKIP() << "no generated data and checkpoints in " << rt_test::data_dir();
    for (const bool windowed : {true, false}) {
        SCOPED_TRACE(windowed ? "windowed" : "fullscreen timing");
        const fs::path folder = dir.path / (windowed ? "own-w" : "own-f");
        fs::create_directories(folder);
        const std::string own = windowed ? "title-w.ockp" : "title.ockp";
        const std::string other = windowed ? "title.ockp" : "title-w.ockp";
        fs::copy_file(rt_test::data_dir() / "checkpoints" / own, folder / own);
        checkpoint::header h;
        std::vector<std::uint8_t> payload;
        std::string error;
        ASSERT_TRUE(checkpoint::read_file((rt_test::data_dir() / "checkpoints" / other).string(), h, payload, error))
            << error;
        h.program ^= 1;
        ASSERT_TRUE(checkpoint::write_file((folder / other).string(), h, payload, error)) << error;
        const fs::path err = dir.path / (own + ".err");
        EXPECT_EQ(run_program(std::string(windowed ? "-w " : "") + "--data '" + data + "' --checkpoints '" +
                                  folder.string() + "' --start title --quit-at 9000 --capture '" +
                                  (dir.path / own).string() + "' --png-every 100000",
                              err),
                  0);
        const std::string text = read_text(err);
        EXPECT_NE(text.find("starting from the title scene's checkpoint"), std::string::npos) << text;
        EXPECT_EQ(text.find("another build"), std::string::npos) << text;
    }
}

// A start restores a checkpoint only for the very data it was made from;
// damaged data (a picture cut in half, one larger than a picture may be)
// never match, and the data check then refuses them before the show starts,
// naming the file.
TEST_F(CheckpointRuns, AStartWithDamagedDataIsRefusedByTheDataCheck) {
    if (!rt_test::have_data() || !fs::exists(rt_test::data_dir() / "checkpoints"))
        GTEST_SKIP() << "no generated data and checkpoints in " << rt_test::data_dir();
    const fs::path copy = dir.path / "data";
    fs::copy(rt_test::data_dir(), copy, fs::copy_options::recursive);
    const std::string args = "-w --data '" + copy.string() + "' --start final --quit-at 140000 --capture '" +
                             (dir.path / "out").string() + "' --png-every 100000";
    const fs::path err = dir.path / "damaged.err";
    ASSERT_EQ(run_program(args, err), 0) << read_text(err);
    EXPECT_NE(read_text(err).find("starting from the final scene's checkpoint"), std::string::npos)
        << read_text(err);

    // The song cache: written again for the same program and data, it is
    // the one beside the checkpoints byte for byte; a damaged one is said
    // and the song rendered up to the start instead.
    const fs::path cache = copy / "checkpoints" / "song.ocache", again = dir.path / "again.ocache";
    const fs::path cache_err = dir.path / "cache.err";
    ASSERT_EQ(run_program("--data '" + copy.string() + "' --write-song-cache '" + again.string() + "'", cache_err), 0)
        << read_text(cache_err);
    EXPECT_TRUE(read_text(again) == read_text(cache)) << "the song cache is not what the data folder has";
    {
        std::fstream f(cache, std::ios::binary | std::ios::in | std::ios::out);
        f.seekp(-4000, std::ios::end);
        f.put('\x55');
    }
    ASSERT_EQ(run_program(args, err), 0) << read_text(err);
    EXPECT_NE(read_text(err).find("song.ocache: the song cache's samples are damaged"), std::string::npos)
        << read_text(err);
    EXPECT_NE(read_text(err).find("rendering the song up to the start instead"), std::string::npos) << read_text(err);

    const fs::path skin = copy / "gfx" / "skin.jpg";
    const std::string whole = read_text(skin);
    std::ofstream(skin, std::ios::binary | std::ios::trunc).write(whole.data(), std::streamsize(whole.size() / 2));
    EXPECT_EQ(run_program(args, err), 2);
    std::string text = read_text(err);
    EXPECT_NE(text.find("gfx/skin.jpg"), std::string::npos) << text;
    EXPECT_EQ(text.find("starting from"), std::string::npos) << text;

    std::ofstream(skin, std::ios::binary | std::ios::trunc).write(whole.data(), std::streamsize(whole.size()));
    fs::resize_file(copy / "gfx" / "tann.png", (8u << 20) + 1);
    EXPECT_EQ(run_program(args, err), 2);
    text = read_text(err);
    EXPECT_NE(text.find("gfx/tann.png"), std::string::npos) << text;
    EXPECT_EQ(text.find("starting from"), std::string::npos) << text;
    // No song cache for data whose identity cannot be taken (a file beyond
    // its loader); damaged bytes only give another key, which no
    // checkpoint of checked data has.
    EXPECT_EQ(run_program("--data '" + copy.string() + "' --write-song-cache '" + again.string() + "2'", cache_err), 1);
    EXPECT_NE(read_text(cache_err).find("the data are not in order"), std::string::npos) << read_text(cache_err);
    EXPECT_FALSE(fs::exists(again.string() + "2"));
}
