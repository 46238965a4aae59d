// The flash report: feeds both readings, keeps the failing frames and the
// per-scene counts per check, prints failing seconds and writes the JSON.
#include "flash_report.h"

#include "cost_clock.h"
#include "frame_read_lock.h"
#include "json_writer.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>

namespace {
const char* kind(int general, int red) {
    const bool g = general > flash::max_transitions, r = red > flash::max_transitions;
    return g && r ? "general+red" : r ? "red" : g ? "general" : "none";
}
}  // namespace

const char* flash_kind(const flash::frame_verdict& v) { return kind(v.general, v.red); }

const char* flash_kind(const flash::reading_verdict& v) { return kind(v.general, v.red); }

const char* flash_check_name(int check) {
    static const char* const names[flash_checks] = {"first_sixth", "first_twelfth", "second_sixth",
                                                    "second_twelfth"};
    return names[check];
}

flash_verdicts flash_readings(const flash::frame_verdict& first, const flash::cross_verdict& cross) {
    flash::reading_verdict f;
    f.general = first.general;
    f.red = first.red;
    f.field = first.red > first.general ? first.red_field : first.general_field;
    return {f, cross.first_twelfth, cross.second_sixth, cross.second_twelfth};
}

const char* flash_failing_readings(const flash_verdicts& v) {
    const bool first = v[first_sixth].fails() || v[first_twelfth].fails();
    const bool second = v[second_sixth].fails() || v[second_twelfth].fails();
    return first && second ? "first+second" : first ? "first" : second ? "second" : "none";
}

bool flash_report::open(std::string& error) {
    if (path_.empty() || std::ofstream(path_, std::ios::app))
        return true;
    error = path_ + ": cannot write the flash report: " + std::strerror(errno);
    return false;
}

bool flash_report::finish(Uint32, long, std::string& error) {
    if (path_.empty())
        return true;
    print(stdout);
    if (!write(error))
        return false;
    std::printf("flash report: %s\n", path_.c_str());
    return true;
}

void flash_report::frame(SDL_Surface* shown, const flip_info& info) {
    const std::uint64_t t0 = cost_clock::wall_ns(), c0 = cost_clock::cpu_ns();
    if (!analysis_) {
        analysis_ = std::make_unique<flash::analysis>(shown->w, shown->h);
        cross_ = std::make_unique<flash::cross_check>(shown->w, shown->h);
    }
    flash::frame_verdict v;
    flash_verdicts checks;
    {
        frame_read_lock lock(shown);
        const flash::frame_ref f{static_cast<const std::uint16_t*>(shown->pixels), shown->pitch / 2};
        v = analysis_->feed(f, info.tick);
        checks = flash_readings(v, cross_->feed(f, info.tick));
    }
    bool fails = false;
    for (const auto& c : checks) fails = fails || c.fails();

    if (last_failed_)
        failing_ms_ += info.tick - last_tick_;
    last_failed_ = fails;
    last_tick_ = info.tick;
    ++frames_;
    auto it = std::find_if(scenes_.begin(), scenes_.end(),
                           [&](const scene& s) { return s.name == info.scene; });
    if (it == scenes_.end()) {
        scenes_.push_back({info.scene});
        it = scenes_.end() - 1;
    }
    ++it->frames;
    for (int c = 0; c < flash_checks; ++c) {
        check_worst& w = it->checks[static_cast<size_t>(c)];
        const flash::reading_verdict& r = checks[static_cast<size_t>(c)];
        w.failing += r.fails();
        w.general = std::max(w.general, r.general);
        w.red = std::max(w.red, r.red);
        it->worst_general = std::max(it->worst_general, r.general);
        it->worst_red = std::max(it->worst_red, r.red);
    }
    if (fails) {
        ++it->failing;
        failures_.push_back({info.index, info.tick, info.music_playing, info.music_ms, info.scene, v, checks});
    }
    analysis_ns_ += cost_clock::wall_ns() - t0;
    analysis_cpu_ns_ += cost_clock::cpu_ns() - c0;
}

namespace {
std::string clock_text(Uint32 ms) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%u:%02u", ms / 60000, (ms / 1000) % 60);
    return buf;
}
}  // namespace

void flash_report::print(std::FILE* out, bool seconds) const {
    // Failing frames grouped by whole seconds of music time (of ticks before
    // the song), each group with its scene, count and worst transitions.
    for (size_t i = 0; seconds && i < failures_.size();) {
        const failure& first = failures_[i];
        const Uint32 second = (first.music ? first.music_ms : first.tick) / 1000;
        size_t j = i;
        int general = 0, red = 0;
        bool by_first = false, by_second = false;
        while (j < failures_.size() && failures_[j].music == first.music &&
               (failures_[j].music ? failures_[j].music_ms : failures_[j].tick) / 1000 == second &&
               failures_[j].scene == first.scene) {
            for (const auto& c : failures_[j].checks) {
                general = std::max(general, c.general);
                red = std::max(red, c.red);
            }
            const std::string r = flash_failing_readings(failures_[j].checks);
            by_first = by_first || r.find("first") != std::string::npos;
            by_second = by_second || r.find("second") != std::string::npos;
            ++j;
        }
        std::fprintf(out, "flash: %s %s  %-10s %3zu failing frames, worst %d general and %d red "
                          "transitions in a field within a second (%s)\n",
                     first.music ? "music" : "tick ", clock_text(second * 1000).c_str(),
                     first.scene.c_str(), j - i, general, red,
                     by_first && by_second ? "first+second" : by_first ? "first" : "second");
        i = j;
    }
    std::fprintf(out, "flash: %zu of %ld frames fail (%.1f s of the show)", failures_.size(), frames_,
                 failing_ms_ / 1000.0);
    const char* sep = ": ";
    for (const auto& s : scenes_)
        if (s.failing > 0) {
            std::fprintf(out, "%s%s %ld (worst %d)", sep, s.name.c_str(), s.failing,
                         std::max(s.worst_general, s.worst_red));
            sep = ", ";
        }
    std::fprintf(out, "\n");
    // Per check over the whole run: failing frames and the worst count.
    std::fprintf(out, "flash: by reading and field step:");
    for (int c = 0; c < flash_checks; ++c) {
        const check_worst t = check_total(c);
        std::fprintf(out, "%s %s %ld failing (worst %d)", c ? "," : "", flash_check_name(c), t.failing,
                     std::max(t.general, t.red));
    }
    std::fprintf(out, "\n");
}

flash_report::check_worst flash_report::check_total(int check) const {
    check_worst t;
    for (const auto& s : scenes_) {
        const check_worst& w = s.checks[static_cast<size_t>(check)];
        t.failing += w.failing;
        t.general = std::max(t.general, w.general);
        t.red = std::max(t.red, w.red);
    }
    return t;
}

std::string flash_report::checks_json() const {
    std::string out = "{";
    for (int c = 0; c < flash_checks; ++c) {
        const check_worst t = check_total(c);
        out += std::string(c ? ", " : "") + "\"" + flash_check_name(c) + "\": {\"failing_frames\": " +
               std::to_string(t.failing) + ", \"general\": " + std::to_string(t.general) +
               ", \"red\": " + std::to_string(t.red) + "}";
    }
    return out + "}";
}

std::string flash_report::scenes_json(const std::string& indent) const {
    std::string out = "[\n";
    for (size_t i = 0; i < scenes_.size(); ++i) {
        const scene& s = scenes_[i];
        out += indent + "  {\"name\": " + json_string(s.name) + ", \"frames\": " + std::to_string(s.frames) +
               ", \"failing_frames\": " + std::to_string(s.failing) +
               ", \"worst_general\": " + std::to_string(s.worst_general) +
               ", \"worst_red\": " + std::to_string(s.worst_red) + ", \"checks\": {";
        for (int c = 0; c < flash_checks; ++c) {
            const check_worst& w = s.checks[static_cast<size_t>(c)];
            out += std::string(c ? ", " : "") + "\"" + flash_check_name(c) +
                   "\": {\"failing_frames\": " + std::to_string(w.failing) +
                   ", \"general\": " + std::to_string(w.general) + ", \"red\": " + std::to_string(w.red) + "}";
        }
        out += std::string("}}") +
               (i + 1 < scenes_.size() ? "," : "") + "\n";
    }
    return out + indent + "]";
}

bool flash_report::write(std::string& error) const {
    std::ofstream json(path_);
    if (!json) {
        error = path_ + ": cannot write the flash report";
        return false;
    }
    json << "{\n  \"gentle\": " << (gentle_ ? "true" : "false") << ",\n  \"frames\": " << frames_
         << ",\n  \"failing_frames\": " << failures_.size() << ",\n  \"failing_ms\": " << failing_ms_
         << ",\n  \"max_transitions\": " << flash::max_transitions
         << ",\n  \"window_ms\": " << flash::window_ms
         << ",\n  \"checks\": " << checks_json()
         << ",\n  \"scenes\": " << scenes_json("  ")
         << ",\n  \"failing\": [\n";
    for (size_t i = 0; i < failures_.size(); ++i) {
        const failure& f = failures_[i];
        // the check with the most transitions, the first of them on a tie
        size_t top = 0;
        for (size_t c = 1; c < f.checks.size(); ++c)
            if (f.checks[c].worst() > f.checks[top].worst())
                top = c;
        const flash::reading_verdict& w = f.checks[top];
        json << "    {\"frame\": " << f.index << ", \"tick\": " << f.tick << ", \"music_ms\": ";
        if (f.music)
            json << f.music_ms;
        else
            json << "null";
        json << ", \"scene\": " << json_string(f.scene) << ", \"kind\": \"" << flash_kind(w)
             << "\", \"worst\": " << w.worst() << ", \"general\": " << w.general << ", \"red\": " << w.red
             << ", \"check\": \"" << flash_check_name(static_cast<int>(top)) << "\", \"field\": " << w.field
             << ", \"readings\": \"" << flash_failing_readings(f.checks) << "\", \"worst_by_check\": [";
        for (size_t c = 0; c < f.checks.size(); ++c) json << (c ? ", " : "") << f.checks[c].worst();
        json << "]}" << (i + 1 < failures_.size() ? "," : "") << "\n";
    }
    json << "  ]\n}\n";
    json.close();  // what is still buffered fails here on a full disk
    if (!json.good()) {
        error = path_ + ": writing the flash report failed";
        return false;
    }
    return true;
}
