// Reads the .3D text format: line reads of at most 199 characters (CR LF is
// one line end), number reads that skip white space and leave the rest of
// their line, every count and index checked. Builds no object.
#include "model_reader.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <sstream>

#include <unistd.h>

#include "exact.h"

namespace {

// The text stream: once a read fails, every later read fails too.
class text_stream {
public:
    explicit text_stream(std::string_view s) : s_(s) {}

    // Everything up to the next line end (LF, or CR LF), at most 199 characters.
    bool read_line(std::string& out) {
        if (failed_) return false;
        if (pos_ >= s_.size()) return fail("the file ends early");
        const size_t nl = s_.find('\n', pos_);
        const size_t end = nl == std::string_view::npos ? s_.size() : nl;
        size_t len = end - pos_;
        if (nl != std::string_view::npos && len > 0 && s_[end - 1] == '\r') --len;
        if (len > 199) return fail("a line longer than 199 characters");
        out.assign(s_.substr(pos_, len));
        pos_ = nl == std::string_view::npos ? s_.size() : nl + 1;
        if (nl != std::string_view::npos) ++line_;
        return true;
    }

    bool read_int(int& out) {
        if (!skip_space()) return false;
        size_t p = pos_;
        bool neg = false;
        if (s_[p] == '+' || s_[p] == '-') neg = s_[p++] == '-';
        long long v = 0;
        const size_t digits = p;
        while (p < s_.size() && s_[p] >= '0' && s_[p] <= '9') {
            v = v * 10 + (s_[p] - '0');
            if (v > 2147483648LL) return fail("a number too large for a 32-bit integer");
            ++p;
        }
        if (p == digits) return fail("a missing or bad number");
        if (neg) v = -v;
        if (v > 2147483647LL) return fail("a number too large for a 32-bit integer");
        out = static_cast<int>(v);
        pos_ = p;
        return true;
    }

    bool read_float(float& out) {
        if (!skip_space()) return false;
        size_t p = pos_;
        if (s_[p] == '+' || s_[p] == '-') ++p;
        size_t nd = 0;
        while (p < s_.size() && is_digit(s_[p])) ++p, ++nd;
        if (p < s_.size() && s_[p] == '.') {
            ++p;
            while (p < s_.size() && is_digit(s_[p])) ++p, ++nd;
        }
        if (nd == 0) return fail("a missing or bad number");
        if (p < s_.size() && (s_[p] == 'e' || s_[p] == 'E')) {
            size_t q = p + 1;
            if (q < s_.size() && (s_[q] == '+' || s_[q] == '-')) ++q;
            const size_t ed = q;
            while (q < s_.size() && is_digit(s_[q])) ++q;
            if (q == ed) return fail("a number with an empty exponent");
            p = q;
        }
        if (p - pos_ > 400) return fail("a number of more than 400 characters");
        char buf[512];
        std::memcpy(buf, s_.data() + pos_, p - pos_);
        buf[p - pos_] = 0;
        errno = 0;
        const float f = std::strtof(buf, nullptr);  // C locale: '.' is the decimal point
        if (!std::isfinite(f)) return fail("a number out of the float range");
        out = f;
        pos_ = p;
        return true;
    }

    bool failed() const { return failed_; }
    // Bytes not read yet.
    long long remaining() const { return static_cast<long long>(s_.size() - pos_); }
    const std::string& why() const { return why_; }
    int line() const { return line_; }

private:
    static bool is_digit(char c) { return c >= '0' && c <= '9'; }
    static bool is_space(char c) {
        return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
    }

    bool skip_space() {
        if (failed_) return false;
        while (pos_ < s_.size() && is_space(s_[pos_])) {
            if (s_[pos_] == '\n') ++line_;
            ++pos_;
        }
        if (pos_ >= s_.size()) return fail("the file ends early");
        return true;
    }

    bool fail(const char* why) {
        if (!failed_) why_ = why;
        failed_ = true;
        return false;
    }

    std::string_view s_;
    size_t pos_ = 0;
    int line_ = 1;
    bool failed_ = false;
    std::string why_;
};

struct parser {
    text_stream in;
    const std::string& path;
    const model_format& fmt;
    int obj = -1;              // object being read, -1 before the first
    std::string obj_name;
    std::string scratch;

    load_result error(const std::string& what) const {
        std::ostringstream m;
        if (obj >= 0) m << "object " << obj << " '" << obj_name << "': ";
        m << what;
        return load_result::failure(path, m.str());
    }
    load_result read_error(const char* reading) const {
        std::ostringstream m;
        m << in.why() << " while reading " << reading << " (line " << in.line() << ")";
        return error(m.str());
    }

    // Reads a count of records that take at least min_bytes(n) bytes of the
    // rest of the text; a count the text cannot hold is refused at once.
    bool count(int& n, long long (*min_bytes)(long long), const char* what, const char* records,
               load_result& r) {
        if (!in.read_int(n)) {
            r = read_error(what);
            return false;
        }
        if (n < 0) {
            r = error(std::string(what) + " " + std::to_string(n) + " is negative");
            return false;
        }
        const long long need = min_bytes(n);
        if (need > in.remaining()) {
            std::ostringstream m;
            m << what << " " << n << " is more than the rest of the file can hold (" << n << " "
              << records << " take at least " << need << " bytes; " << in.remaining()
              << " remain)";
            r = error(m.str());
            return false;
        }
        return true;
    }
};

long long object_text_bytes(long long n) { return n * min_object_bytes; }
long long textured_object_text_bytes(long long n) { return n * min_textured_object_bytes; }

// "640 KB", "158 MB", "24.0 GB".
std::string memory_text(double bytes) {
    char buf[32];
    if (bytes >= 1024.0 * 1024 * 1024)
        std::snprintf(buf, sizeof buf, "%.1f GB", bytes / (1024.0 * 1024 * 1024));
    else if (bytes >= 1024.0 * 1024)
        std::snprintf(buf, sizeof buf, "%.0f MB", bytes / (1024.0 * 1024));
    else
        std::snprintf(buf, sizeof buf, "%.0f KB", bytes / 1024.0);
    return buf;
}

// Refuses n objects of fmt.object_bytes each when they would not fit in the
// memory limit (this machine's memory unless the format names one).
bool fits_in_memory(long long n, const model_format& fmt, const parser& p, load_result& r) {
    const unsigned long long limit = fmt.memory_limit ? fmt.memory_limit : physical_memory();
    if (limit == 0 || fmt.object_bytes == 0) return true;
    const auto count = static_cast<unsigned long long>(n);
    if (count <= limit / fmt.object_bytes) return true;  // n * object_bytes <= limit, no overflow
    std::ostringstream m;
    m << n << " objects need " << memory_text(static_cast<double>(count) * fmt.object_bytes)
      << " of memory, more than the " << memory_text(static_cast<double>(limit)) << " there is";
    r = p.error(m.str());
    return false;
}

}  // namespace

unsigned long long physical_memory() {
#if defined(_SC_PHYS_PAGES) && defined(_SC_PAGESIZE)
    const long pages = sysconf(_SC_PHYS_PAGES);
    const long size = sysconf(_SC_PAGESIZE);
    if (pages > 0 && size > 0)
        return static_cast<unsigned long long>(pages) * static_cast<unsigned long long>(size);
#endif
    return 0;
}

int room_tex_coord(float u, int size) {
    // U = trunc((u + 2) * 639 * 0.25), sum and products in floating point
    const float s = (u + 2.0f) * static_cast<float>(size - 1) * 0.25f;
    return static_cast<int>(clamp_trunc(s, max_tex_coord));
}

int unit_tex_coord(float u, int size) {
    // U = trunc(width * u), the product in floating point
    const float s = static_cast<float>(size) * u;
    return static_cast<int>(clamp_trunc(s, max_tex_coord));
}

load_result parse_model(std::string_view text, const std::string& path, const model_format& fmt,
                        parsed_model& out) {
    parser p{text_stream(text), path, fmt, -1, {}, {}};
    load_result r;
    parsed_model m;

    if (!p.in.read_line(m.name)) return p.read_error("the room name");
    int n = 0;
    if (!p.count(n, fmt.tex_faces ? textured_object_text_bytes : object_text_bytes,
                 "the object count", "objects", r))
        return r;
    if (!fits_in_memory(n, fmt, p, r)) return r;
    m.objects.resize(static_cast<size_t>(n));

    for (p.obj = 0; p.obj < n; ++p.obj) {
        parsed_object& o = m.objects[static_cast<size_t>(p.obj)];
        // the rest of the previous number's line, then a separator line
        if (!p.in.read_line(p.scratch) || !p.in.read_line(p.scratch))
            return p.read_error("the lines before the object name");
        if (!p.in.read_line(o.name)) return p.read_error("the object name");
        if (o.name.size() > 99) o.name.resize(99);  // the name field holds 99 characters
        p.obj_name = o.name;

        int nv = 0, nf = 0, nt = 0;
        if (!p.count(nv, min_record_bytes, "the vertex count", "vertices", r)) return r;
        if (!p.count(nf, min_record_bytes, "the face count", "faces", r)) return r;
        // the rest of the face-count line, then a heading line
        if (!p.in.read_line(p.scratch) || !p.in.read_line(p.scratch))
            return p.read_error("the lines after the face count");

        o.verts.reserve(static_cast<size_t>(nv));
        for (int i = 0; i < nv; ++i) {
            vertex v{0, 0, 0, 0};
            if (!p.in.read_float(v.x) || !p.in.read_float(v.y) || !p.in.read_float(v.z))
                return p.read_error(("vertex " + std::to_string(i)).c_str());
            o.verts.push_back(v);
        }
        o.faces.reserve(static_cast<size_t>(nf));
        for (int i = 0; i < nf; ++i) {
            face f{{0, 0, 0}, {0, 0}};
            for (int k = 0; k < 3; ++k) {
                if (!p.in.read_int(f.v[k]))
                    return p.read_error(("face " + std::to_string(i)).c_str());
                if (f.v[k] < 0 || f.v[k] >= nv) {
                    std::ostringstream e;
                    e << "face " << i << " names vertex " << f.v[k] << ", outside 0.." << nv - 1;
                    return p.error(e.str());
                }
            }
            o.faces.push_back(f);
        }
        if (!p.count(nt, min_record_bytes, "the texture-coordinate count",
                     "texture coordinates", r))
            return r;
        if (nf > 0 && nt < nv) {
            std::ostringstream e;
            e << nt << " texture coordinates for " << nv << " vertices";
            return p.error(e.str());
        }
        o.tex.reserve(static_cast<size_t>(nt));
        for (int i = 0; i < nt; ++i) {
            float u = 0, v = 0, w = 0;  // w is read and dropped
            if (!p.in.read_float(u) || !p.in.read_float(v) || !p.in.read_float(w))
                return p.read_error(("texture coordinate " + std::to_string(i)).c_str());
            if (fmt.unit_tex)
                o.tex.push_back({unit_tex_coord(u, fmt.tex_w), unit_tex_coord(v, fmt.tex_h)});
            else
                o.tex.push_back({room_tex_coord(u, fmt.tex_w), room_tex_coord(v, fmt.tex_h)});
        }
        if (fmt.tex_faces) {
            int ng = 0;
            if (!p.count(ng, min_record_bytes, "the texture-face count", "texture faces", r))
                return r;
            o.tex_faces.reserve(static_cast<size_t>(ng));
            for (int i = 0; i < ng; ++i) {
                std::array<int, 3> t{};
                for (int k = 0; k < 3; ++k)
                    if (!p.in.read_int(t[k]))
                        return p.read_error(("texture face " + std::to_string(i)).c_str());
                o.tex_faces.push_back(t);
            }
        }
    }
    out = std::move(m);
    return r;
}

load_result read_model(const char* path, const model_format& fmt, parsed_model& out) {
    const std::string p = path ? path : "";
    std::FILE* f = path ? std::fopen(path, "rb") : nullptr;
    if (!f) return load_result::failure(p, std::string("cannot open: ") + std::strerror(errno));
    // the size first: a file beyond any model is refused unread
    const bool sized = std::fseek(f, 0, SEEK_END) == 0;
    const long size = sized ? std::ftell(f) : -1;
    if (size < 0 || std::fseek(f, 0, SEEK_SET) != 0) {
        std::fclose(f);
        return load_result::failure(p, "cannot read its size");
    }
    if (size > max_model_bytes) {
        std::fclose(f);
        return load_result::failure(p, "too large for a model (" + std::to_string(size) + " bytes; at most " +
                                           std::to_string(max_model_bytes) + ")");
    }
    std::string text(static_cast<size_t>(size), '\0');
    text.resize(std::fread(text.data(), 1, text.size(), f));
    const bool bad = text.size() != static_cast<size_t>(size);  // a read error reads short
    std::fclose(f);
    if (bad) return load_result::failure(p, "read error");
    try {
        return parse_model(text, p, fmt, out);
    } catch (const std::bad_alloc&) {
        return load_result::failure(p, "not enough memory for its records");
    }
}
