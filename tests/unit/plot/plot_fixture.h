/// Test support: a PostScript plot file in a temporary folder, opened
/// directly with the graphics library, and the terminal output captured.
#pragma once

#include <cpgplot.h>
#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdio>
#include <string>

#include "plot/plot.h"
#include "ps_pages.h"
#include "core/channels.h"
#include "core/records.h"

namespace plottest {

class PlotFile : public ::testing::Test {
protected:
    void SetUp() override {
        std::string tmpl = ::testing::TempDir() + "plotsXXXXXX";
        ASSERT_NE(mkdtemp(tmpl.data()), nullptr);
        dir_ = tmpl;
        karvel::reset_records();
        out_ = std::tmpfile();
        ASSERT_NE(out_, nullptr);
        karvel::io::redirect_terminal(nullptr, out_);
    }

    void TearDown() override {
        if (open_) cpgclos();
        karvel::io::redirect_terminal(nullptr, nullptr);
        std::fclose(out_);
        std::string cmd = "rm -rf '" + dir_ + "'";
        (void)std::system(cmd.c_str());
    }

    /// Opens a PostScript file of the given name as the current device.
    void open(const std::string& name) {
        path_ = dir_ + "/" + name;
        ASSERT_GT(cpgopen((path_ + "/PS").c_str()), 0);
        open_ = true;
    }

    /// Closes the device and reads its pages back.
    PsFile close_and_read() {
        cpgclos();
        open_ = false;
        return read_ps(path_);
    }

    /// Everything written on the terminal so far.
    std::string terminal() {
        karvel::flusht(6);
        std::fflush(out_);
        std::string s;
        std::rewind(out_);
        int c = 0;
        while ((c = std::fgetc(out_)) != EOF) s += static_cast<char>(c);
        return s;
    }

    /// The frame of the current window and viewport on a page of the given size.
    static Frame current_frame(const PsFile& f, const float win[4], const float vp[4]) {
        return Frame{win[0], win[1], win[2], win[3], vp[0], vp[1], vp[2], vp[3], f.width, f.height};
    }

    std::string dir_;
    std::string path_;
    std::FILE* out_ = nullptr;
    bool open_ = false;
};

/// The window and viewport in force on the current device.
inline void query_frame(float win[4], float vp[4]) {
    cpgqwin(&win[0], &win[1], &win[2], &win[3]);
    cpgqvp(0, &vp[0], &vp[1], &vp[2], &vp[3]);
}

}  // namespace plottest
