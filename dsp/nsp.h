// Real FFTs and vector kernels shared by the host and the effect plug-in.
//
// Plain functions in the nsp naming scheme: a letter for the element type
// (s float, d double, c complex float, z complex double), b for whole-vector
// operations and a trailing digit for the number of vector operands.
//
// Every kernel checks its arguments first; on the first violation it reports
// status -5 (NSP_StsBadArg) through nspError and returns without touching its
// output. The library state (last status, error mode, handler, FFT table
// caches) is process-wide. The kernels may run on several threads at once:
// the table caches are shared safely, and a thread may free an order
// (NSP_Free) while others transform with it; the free then waits until
// those transforms are done, and a later transform builds the tables again.
//
// Real-time use: once the tables of an order exist (first call, or a call
// with NSP_Init), an FFT call allocates nothing and takes no lock.
#pragma once

#include <cstdint>

struct SCplx {
    float re;
    float im;
};

struct DCplx {
    double re;
    double im;
};

// Status codes.
enum : int {
    NSP_StsOk = 0,
    NSP_StsBackTrace = -1,
    NSP_StsInternal = -3,
    NSP_StsNoMem = -4,
    NSP_StsBadArg = -5,
    NSP_StsBadFunc = -6,
    NSP_StsNoConv = -7,
    NSP_StsAutoTrace = -8,
    NSP_StsNullPtr = -10,
    NSP_StsBadPoint = -12,
    NSP_StsBadStruct = -13,
    NSP_StsBadLen = -14,
};

// FFT flags (bit values).
enum : int {
    NSP_Forw = 1,
    NSP_Inv = 2,
    NSP_Init = 4,
    NSP_Free = 8,
    NSP_NoScale = 16,
};

// Error modes: 0 ends the process from the default handler (exit status 1);
// any other value makes the default handler return the status.
enum : int {
    NSP_ErrModeLeaf = 0,
    NSP_ErrModeParent = 1,
    NSP_ErrModeSilent = 2,
};

// Error handler: (status, function name, message, source file name, line).
using NSPErrorCallBack = int (*)(int status, const char* funcName, const char* context,
                                 const char* file, int line);

// Reports an error: unless status is -1 or -8 it becomes the last status
// (and a 0 status returns 0 at once); then the installed handler is called
// with the same arguments and its result returned.
int nspError(int status, const char* funcName, const char* context, const char* file, int line);

int nspGetErrStatus();
void nspSetErrStatus(int status);
int nspGetErrMode();
void nspSetErrMode(int mode);
const char* nspErrorStr(int status);
// Installs a handler (null restores the default); returns the previous one.
NSPErrorCallBack nspRedirectError(NSPErrorCallBack handler);
// The default handler.
int nspStdErrReport(int status, const char* funcName, const char* context, const char* file,
                    int line);

// FFTs. N = 2^order; the CCS spectrum holds N/2 + 1 bins. Source and
// destination must not overlap. NSP_Init builds the tables of the order and
// returns; NSP_Free drops them and returns (an order outside 0..31 is reported
// instead). The imaginary parts of CCS bins 0 and N/2 are zero by definition
// and not read by nspsCcsFftNip. Any alignment of a float or double will do.
void nspsRealFftNip(const float* src, SCplx* dst, int order, int flags);
void nspdRealFftNip(const double* src, DCplx* dst, int order, int flags);
void nspsCcsFftNip(const SCplx* src, float* dst, int order, int flags);
// Our own addition: nspsCcsFftNip of the power spectrum of src, each bin
// taken as (re^2 + im^2, 0) with the squares formed in double and rounded
// once to float (the autocorrelation of a real signal in one call, without
// a pass of its own over the spectrum). src is not changed.
void nspsCcsPowerFftNip(const SCplx* src, float* dst, int order, int flags);

// Vector operations.
void nspsbAdd2(const float* src, float* dst, int n);
void nspsbMpy1(float val, float* dst, int n);
void nspdbMpy1(double val, double* dst, int n);
void nspsbMpy3(const float* srcA, const float* srcB, float* dst, int n);
void nspcbMpy2(const SCplx* src, SCplx* dst, int n);
void nspcbConj2(const SCplx* src, SCplx* dst, int n);
float nspsMax(const float* vec, int len);
float nspsMin(const float* vec, int len);
double nspdMax(const double* vec, int len);
float nspsMaxExt(const float* vec, int len, int* index);
float nspsMinExt(const float* vec, int len, int* index);
double nspdMaxExt(const double* vec, int len, int* index);
void nspdbSqrt2(const double* src, double* dst, int len);
void nspzbPowerSpectr(const DCplx* src, double* spectr, int length);
void nspzbMag(const DCplx* src, double* mag, int length);
