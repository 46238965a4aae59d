// The flash report: feeds the analysis, keeps the failing frames and the
// per-scene counts, prints failing seconds and writes the JSON.
#include "flash_report.h"

#include "frame_read_lock.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>

const char* flash_kind(const flash::frame_verdict& v) {
    const bool g = v.general > flash::max_transitions, r = v.red > flash::max_transitions;
    return g && r ? "general+red" : r ? "red" : g ? "general" : "none";
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
    const std::uint64_t t0 = display::now_ns(), c0 = display::cpu_now_ns();
    if (!analysis_)
        analysis_ = std::make_unique<flash::analysis>(shown->w, shown->h);
    flash::frame_verdict v;
    {
        frame_read_lock lock(shown);
        v = analysis_->feed({static_cast<const std::uint16_t*>(shown->pixels), shown->pitch / 2}, info.tick);
    }

    if (last_failed_)
        failing_ms_ += info.tick - last_tick_;
    last_failed_ = v.fails();
    last_tick_ = info.tick;
    ++frames_;
    auto it = std::find_if(scenes_.begin(), scenes_.end(),
                           [&](const scene& s) { return s.name == info.scene; });
    if (it == scenes_.end()) {
        scenes_.push_back({info.scene});
        it = scenes_.end() - 1;
    }
    ++it->frames;
    it->worst_general = std::max(it->worst_general, v.general);
    it->worst_red = std::max(it->worst_red, v.red);
    if (v.fails()) {
        ++it->failing;
        failures_.push_back({info.index, info.tick, info.music_playing, info.music_ms, info.scene, v});
    }
    analysis_ns_ += display::now_ns() - t0;
    analysis_cpu_ns_ += display::cpu_now_ns() - c0;
}

namespace {
std::string clock_text(Uint32 ms) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%u:%02u", ms / 60000, (ms / 1000) % 60);
    return buf;
}

std::string json_text(const std::string& s) {
    std::string out = "\"";
    for (char c : s) {
        if (c == '"' || c == '\\')
            out += '\\';
        out += c;
    }
    return out + "\"";
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
        while (j < failures_.size() && failures_[j].music == first.music &&
               (failures_[j].music ? failures_[j].music_ms : failures_[j].tick) / 1000 == second &&
               failures_[j].scene == first.scene) {
            general = std::max(general, failures_[j].verdict.general);
            red = std::max(red, failures_[j].verdict.red);
            ++j;
        }
        std::fprintf(out, "flash: %s %s  %-10s %3zu failing frames, worst %d general and %d red "
                          "transitions in a field within a second\n",
                     first.music ? "music" : "tick ", clock_text(second * 1000).c_str(),
                     first.scene.c_str(), j - i, general, red);
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
}

std::string flash_report::scenes_json(const std::string& indent) const {
    std::string out = "[\n";
    for (size_t i = 0; i < scenes_.size(); ++i) {
        const scene& s = scenes_[i];
        out += indent + "  {\"name\": " + json_text(s.name) + ", \"frames\": " + std::to_string(s.frames) +
               ", \"failing_frames\": " + std::to_string(s.failing) +
               ", \"worst_general\": " + std::to_string(s.worst_general) +
               ", \"worst_red\": " + std::to_string(s.worst_red) + "}" +
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
         << ",\n  \"window_ms\": " << flash::window_ms << ",\n  \"scenes\": " << scenes_json("  ")
         << ",\n  \"failing\": [\n";
    for (size_t i = 0; i < failures_.size(); ++i) {
        const failure& f = failures_[i];
        const bool red = f.verdict.red > f.verdict.general;
        json << "    {\"frame\": " << f.index << ", \"tick\": " << f.tick << ", \"music_ms\": ";
        if (f.music)
            json << f.music_ms;
        else
            json << "null";
        json << ", \"scene\": " << json_text(f.scene) << ", \"kind\": \"" << flash_kind(f.verdict)
             << "\", \"worst\": " << std::max(f.verdict.general, f.verdict.red)
             << ", \"general\": " << f.verdict.general << ", \"red\": " << f.verdict.red
             << ", \"field\": " << (red ? f.verdict.red_field : f.verdict.general_field) << "}"
             << (i + 1 < failures_.size() ? "," : "") << "\n";
    }
    json << "  ]\n}\n";
    json.close();  // what is still buffered fails here on a full disk
    if (!json.good()) {
        error = path_ + ": writing the flash report failed";
        return false;
    }
    return true;
}
