/// The bundled host kvst: a Gaussian peak on a sloping background, read
/// from a text file. A program of its own, built on the host interface and
/// the package's channels and formatted I/O.
#pragma once

#include "karvel/karvel.h"

namespace karvel {

/// The Gaussian peak on a sloping background: P(1) centre, P(2) sigma,
/// P(3) flat background, P(4) background slope, P(5) height.
void gauss(const int& np, const float* p, const int& n, const float* x, const float* y, const float* e,
           float* yc, float* r);

/// Asks for a file name and reads a title line, two lines that are skipped
/// and then groups of ten numbers, the pairs y, e of five points each.
void myread(int& n, float* x, float* y, float* e, TextRef title);

/// Sets the records the test host hands the package: five parameters, their
/// names, the axis titles and the host version 2.0.
void kvst_records();

/// The name of the file the reader read last.
extern Text<100> infile;

}  // namespace karvel
