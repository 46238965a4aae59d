// Frame-cost statistics for --bench: percentiles per scene, the JSON report
// and a hand-written SVG scatter chart (one colour per scene).
#include "bench.h"

#include "json_writer.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

void bench_sink::frame(SDL_Surface* shown, const flip_info& info) {
    // The song rendered while the frame read the music clock is not the
    // frame's: with a sound device a thread of its own renders it.
    const frame_costs& c = info.costs;
    const double song_ms = double(c.song_ns) * 1e-6, song_cpu_ms = double(c.song_cpu_ns) * 1e-6;
    const double cost = double(c.work_ns) * 1e-6 - song_ms;
    const double cpu = double(c.work_cpu_ns) * 1e-6 - song_cpu_ms;
    song_ms_ += song_ms;
    song_cpu_ms_ += song_cpu_ms;
    samples_.push_back({info.scene, info.tick, info.music_playing, info.music_ms, cost, cpu});
    if (c.limited) {
        gentle_ = true;
        limiter_ms_.push_back(double(c.limiter_ns) * 1e-6);
        limiter_cpu_ms_.push_back(double(c.limiter_cpu_ns) * 1e-6);
    }
    if (shown)
        flash_.frame(shown, info);
}

namespace {
// Nearest-rank percentile of sorted values: the smallest value with at
// least p% of the values at or below it.
double percentile(const std::vector<double>& sorted, double p) {
    if (sorted.empty())
        return 0;
    const size_t rank = static_cast<size_t>(std::ceil(p / 100.0 * double(sorted.size())));
    return sorted[std::clamp<size_t>(rank, 1, sorted.size()) - 1];
}
}  // namespace

std::vector<scene_cost> bench_sink::summary() const {
    std::vector<std::string> order;
    std::map<std::string, std::vector<double>> costs;
    std::map<std::string, double> cpu;
    for (const auto& s : samples_) {
        if (!costs.count(s.scene))
            order.push_back(s.scene);
        costs[s.scene].push_back(s.cost_ms);
        cpu[s.scene] += s.cpu_ms;
    }
    std::vector<scene_cost> out;
    for (const auto& name : order) {
        auto v = costs[name];
        std::sort(v.begin(), v.end());
        scene_cost c;
        c.name = name;
        c.frames = static_cast<long>(v.size());
        for (double x : v) c.total_ms += x;
        c.mean_ms = c.total_ms / double(v.size());
        c.p50_ms = percentile(v, 50);
        c.p99_ms = percentile(v, 99);
        c.max_ms = v.back();
        c.cpu_total_ms = cpu[name];
        c.cpu_mean_ms = c.cpu_total_ms / double(v.size());
        out.push_back(c);
    }
    return out;
}

bench_sink::flash_costs bench_sink::flash_figures() const {
    flash_costs f;
    std::vector<double> limiter = limiter_ms_;
    std::sort(limiter.begin(), limiter.end());
    if (!limiter.empty()) {
        double wall = 0, cpu = 0;
        for (double x : limiter) wall += x;
        for (double x : limiter_cpu_ms_) cpu += x;
        f.limiter_mean = wall / double(limiter.size());
        f.limiter_cpu_mean = cpu / double(limiter.size());
        f.limiter_p99 = percentile(limiter, 99);
        f.limiter_max = limiter.back();
    }
    const double frames = flash_.frames() ? double(flash_.frames()) : 1.0;
    f.analysis_mean = flash_.analysis_ms() / frames;
    f.analysis_cpu_mean = flash_.analysis_cpu_ms() / frames;
    return f;
}

double bench_sink::total_ms() const {
    double t = 0;
    for (const auto& s : samples_) t += s.cost_ms;
    return t;
}

std::string bench_sink::json(Uint32 show_ticks) const {
    const auto rows = summary();
    double cpu_total = 0;
    for (const auto& r : rows) cpu_total += r.cpu_total_ms;
    std::ostringstream json;
    json << "{\n  \"show_ms\": " << show_ticks << ",\n  \"frames\": " << samples_.size()
         << ",\n  \"render_ms\": " << total_ms() << ",\n  \"render_cpu_ms\": " << cpu_total
         << ",\n  \"scenes\": [\n";
    for (size_t i = 0; i < rows.size(); ++i) {
        const auto& r = rows[i];
        json << "    {\"name\": " << json_string(r.name) << ", \"frames\": " << r.frames
             << ", \"mean_ms\": " << r.mean_ms << ", \"p50_ms\": " << r.p50_ms
             << ", \"p99_ms\": " << r.p99_ms << ", \"max_ms\": " << r.max_ms
             << ", \"total_ms\": " << r.total_ms << ", \"cpu_mean_ms\": " << r.cpu_mean_ms
             << ", \"cpu_total_ms\": " << r.cpu_total_ms << "}" << (i + 1 < rows.size() ? "," : "")
             << "\n";
    }
    json << "  ]";
    const flash_costs f = flash_figures();
    json << ",\n  \"flash\": {\"gentle\": " << (gentle_ ? "true" : "false")
         << ", \"failing_frames\": " << flash_.failures().size()
         << ", \"failing_ms\": " << flash_.failing_ms() << ", \"analysis_mean_ms\": " << f.analysis_mean
         << ", \"analysis_cpu_mean_ms\": " << f.analysis_cpu_mean;
    if (gentle_)
        json << ", \"limiter_mean_ms\": " << f.limiter_mean << ", \"limiter_cpu_mean_ms\": "
             << f.limiter_cpu_mean << ", \"limiter_p99_ms\": " << f.limiter_p99
             << ", \"limiter_max_ms\": " << f.limiter_max;
    json << ",\n    \"checks\": " << flash_.checks_json();
    json << ",\n    \"scenes\": " << flash_.scenes_json("    ") << "}";
    if (!present_ms_.empty()) {
        std::vector<double> v = present_ms_;
        std::sort(v.begin(), v.end());
        double sum = 0;
        for (double x : v) sum += x;
        json << ",\n  \"present\": {\"frames\": " << v.size() << ", \"mean_ms\": " << sum / double(v.size())
             << ", \"p50_ms\": " << percentile(v, 50) << ", \"p99_ms\": " << percentile(v, 99)
             << ", \"max_ms\": " << v.back() << "}";
    }
    json << ",\n  \"song_render_ms\": " << song_ms_ << ",\n  \"song_render_cpu_ms\": " << song_cpu_ms_;
    json << "\n}\n";
    return json.str();
}

bool bench_sink::finish(Uint32 end_tick, long, std::string& error) {
    // From a start point the run measured lasts from its first frame on.
    return report(end_tick - (from_first_frame_ ? first_tick() : 0), error);
}

bool bench_sink::report(Uint32 show_ticks, std::string& error) const {
    const auto rows = summary();
    const double total = total_ms();
    std::printf("%-16s %7s %9s %9s %9s %9s %10s %9s\n", "scene", "frames", "mean ms", "p50 ms",
                "p99 ms", "max ms", "total ms", "cpu mean");
    double cpu_total = 0;
    for (const auto& r : rows) {
        std::printf("%-16s %7ld %9.3f %9.3f %9.3f %9.3f %10.1f %9.3f\n",
                    r.name.empty() ? "(none)" : r.name.c_str(), r.frames, r.mean_ms, r.p50_ms,
                    r.p99_ms, r.max_ms, r.total_ms, r.cpu_mean_ms);
        cpu_total += r.cpu_total_ms;
    }
    std::printf("render time %.1f ms (CPU %.1f ms) for %zu frames; the show lasts %u ms (%.1f%% "
                "of it spent drawing)\n",
                total, cpu_total, samples_.size(), show_ticks,
                show_ticks ? 100.0 * total / show_ticks : 0.0);
    flash_.print(stdout, false);
    const flash_costs f = flash_figures();
    if (gentle_)
        std::printf("flash limiter: mean %.3f ms (CPU %.3f ms), p99 %.3f ms, max %.3f ms per frame "
                    "(in the frame costs above)\n",
                    f.limiter_mean, f.limiter_cpu_mean, f.limiter_p99, f.limiter_max);
    std::printf("flash analysis: mean %.3f ms (CPU %.3f ms) per frame (outside the frame costs)\n",
                f.analysis_mean, f.analysis_cpu_mean);
    const double frames = samples_.empty() ? 1.0 : double(samples_.size());
    std::printf("song rendering: %.1f ms, mean %.3f ms (CPU %.3f ms) per frame (outside the frame costs: with "
                "a sound device its own thread renders the song)\n",
                song_ms_, song_ms_ / frames, song_cpu_ms_ / frames);

    if (json_path_.empty())
        return true;
    std::ofstream json(json_path_);
    if (!json) {
        error = json_path_ + ": cannot write the bench report";
        return false;
    }
    json << this->json(show_ticks);
    json.close();  // what is still buffered fails here on a full disk
    if (!json.good()) {
        error = json_path_ + ": writing the bench report failed";
        return false;
    }

    // Chart: x = music time (the loading screen before 0), y = frame cost.
    const std::string svg_path = std::filesystem::path(json_path_).replace_extension(".svg").string();
    std::ofstream svg(svg_path);
    if (!svg) {
        error = svg_path + ": cannot write the chart";
        return false;
    }
    Uint32 play_tick = show_ticks;
    for (const auto& s : samples_)
        if (s.music) {
            play_tick = s.tick - s.music_ms;
            break;
        }
    const double x_min = -double(play_tick), x_max = std::max(1.0, double(show_ticks) - play_tick);
    double y_max = 35.0;
    for (const auto& s : samples_) y_max = std::max(y_max, s.cost_ms * 1.1);
    const int W = 1000, H = 400, L = 60, R = 160, T = 20, B = 40;
    auto px = [&](double x) { return L + (x - x_min) / (x_max - x_min) * (W - L - R); };
    auto py = [&](double y) { return T + (1.0 - y / y_max) * (H - T - B); };
    static const char* colours[] = {"#1f77b4", "#ff7f0e", "#2ca02c", "#d62728", "#9467bd",
                                    "#8c564b", "#e377c2", "#7f7f7f", "#bcbd22", "#17becf"};
    std::map<std::string, const char*> colour;
    for (size_t i = 0; i < rows.size(); ++i) colour[rows[i].name] = colours[i % 10];
    svg << "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" << W << "\" height=\"" << H
        << "\" font-family=\"sans-serif\" font-size=\"11\">\n"
        << "<rect width=\"100%\" height=\"100%\" fill=\"white\"/>\n";
    svg << "<line x1=\"" << L << "\" y1=\"" << py(30) << "\" x2=\"" << W - R << "\" y2=\"" << py(30)
        << "\" stroke=\"#c00\" stroke-dasharray=\"4 3\"/><text x=\"" << W - R - 4 << "\" y=\""
        << py(30) - 4 << "\" text-anchor=\"end\" fill=\"#c00\">30 ms frame</text>\n";
    for (double y = 0; y <= y_max; y += y_max > 100 ? 20 : 5)
        svg << "<text x=\"" << L - 6 << "\" y=\"" << py(y) + 4 << "\" text-anchor=\"end\">" << y
            << "</text>\n";
    for (double x = 0; x <= x_max; x += 20000)
        svg << "<text x=\"" << px(x) << "\" y=\"" << H - B + 14 << "\" text-anchor=\"middle\">"
            << x / 1000 << " s</text>\n";
    svg << "<text x=\"" << (L + W - R) / 2 << "\" y=\"" << H - 8
        << "\" text-anchor=\"middle\">music time (loading screen before 0)</text>\n"
        << "<text x=\"14\" y=\"" << (T + H - B) / 2 << "\" transform=\"rotate(-90 14 "
        << (T + H - B) / 2 << ")\" text-anchor=\"middle\">frame cost, ms</text>\n"
        << "<rect x=\"" << L << "\" y=\"" << T << "\" width=\"" << W - L - R << "\" height=\""
        << H - T - B << "\" fill=\"none\" stroke=\"#888\"/>\n";
    for (const auto& s : samples_) {
        const double x = double(s.tick) - play_tick;
        svg << "<circle cx=\"" << px(x) << "\" cy=\"" << py(s.cost_ms) << "\" r=\"1.3\" fill=\""
            << colour[s.scene] << "\"/>\n";
    }
    for (size_t i = 0; i < rows.size(); ++i)
        svg << "<rect x=\"" << W - R + 10 << "\" y=\"" << T + 30 + 16 * i
            << "\" width=\"10\" height=\"10\" fill=\"" << colour[rows[i].name] << "\"/><text x=\""
            << W - R + 26 << "\" y=\"" << T + 39 + 16 * i << "\">"
            << (rows[i].name.empty() ? "(none)" : rows[i].name) << "</text>\n";
    svg << "</svg>\n";
    svg.close();
    if (!svg.good()) {
        error = svg_path + ": writing the chart failed";
        return false;
    }
    std::printf("bench report: %s, chart: %s\n", json_path_.c_str(), svg_path.c_str());
    return true;
}
