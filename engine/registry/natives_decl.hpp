// Declarations of the native functions listed in the natives.def files.
#pragma once

#include "engine/errors/raise.hpp"  // the error tables of the "+errmsgtable" rows
#include "engine/registry/native_record.hpp"

namespace vke {

#define VKE_NATIVE_FN(name) \
  ErrCode name(EngineContext* ctx, int32_t nargin, int32_t nargout, uintptr_t option);

// Calls of functions from natives.
VKE_NATIVE_FN(FevalxNative)
VKE_NATIVE_FN(HasFeatureNative)
// The features hasfeature names, one a line.
extern const char kRuntimeFeatures[];

// Text encodings.
VKE_NATIVE_FN(Utf8EncodeNative)
VKE_NATIVE_FN(Utf8DecodeNative)

// Special functions over double arrays (numerics/special).
VKE_NATIVE_FN(ErrorFunctionsNative)
VKE_NATIVE_FN(GammaFunctionsNative)
VKE_NATIVE_FN(GammaincNative)
VKE_NATIVE_FN(BetaFunctionsNative)
VKE_NATIVE_FN(HypotNative)
VKE_NATIVE_FN(NthrootNative)
VKE_NATIVE_FN(BetaincNative)
// The incomplete-beta core betainc's row carries as its option.
bool ComputeIncompleteBeta(double x, double a, double b, double* result);
VKE_NATIVE_FN(NchoosekNative)
VKE_NATIVE_FN(FactorNative)
VKE_NATIVE_FN(GcdLcmNative)
VKE_NATIVE_FN(DilnNative)
VKE_NATIVE_FN(JacobiEllipticNative)
VKE_NATIVE_FN(EllipticIntegralNative)
VKE_NATIVE_FN(EllipkeNative)
VKE_NATIVE_FN(EvaluateDistribution)

// Factorisations, singular values and norms (numerics/linalg).
VKE_NATIVE_FN(LuNative)
VKE_NATIVE_FN(CholNative)
VKE_NATIVE_FN(QrNative)
VKE_NATIVE_FN(HessNative)
VKE_NATIVE_FN(SchurNative)
VKE_NATIVE_FN(HouseholderNative)
VKE_NATIVE_FN(HouseholderapplyNative)
VKE_NATIVE_FN(SvdNative)
VKE_NATIVE_FN(RankNative)
VKE_NATIVE_FN(CondNative)
VKE_NATIVE_FN(PinvNative)
VKE_NATIVE_FN(OrthNative)
VKE_NATIVE_FN(NullNative)
VKE_NATIVE_FN(NormNative)
// Eigenvalues, balancing and functions of matrices (numerics/linalg).
VKE_NATIVE_FN(ExpmNative)
VKE_NATIVE_FN(EigNative)
VKE_NATIVE_FN(BalanceNative)
VKE_NATIVE_FN(MatrixFunctionNative)  // option 's' sqrtm, 'l' logm, 'f' funm
// Riccati and Lyapunov equations (numerics/linalg).
VKE_NATIVE_FN(SolveRiccati)  // option 'c' care, 'd' dare
VKE_NATIVE_FN(LyapNative)
VKE_NATIVE_FN(DlyapNative)
// Fourier transforms (numerics/fft).
VKE_NATIVE_FN(ComputeFft)   // option 'f' fft, 'i' ifft
VKE_NATIVE_FN(ComputeFftN)  // option '2' fft2, 'I' ifft2, 'f' fftn, 'i' ifftn
// Linear programming (numerics/linprog).
VKE_NATIVE_FN(LinprogNative)
// Polynomials (numerics/poly).
VKE_NATIVE_FN(PolyvalNative)
VKE_NATIVE_FN(PolyderNative)
VKE_NATIVE_FN(PolyintNative)
VKE_NATIVE_FN(RootsNative)
VKE_NATIVE_FN(PolyNative)
// Quadrature and optimisation, calling their function value back
// (numerics/quad, numerics/optim).
VKE_NATIVE_FN(QuadNative)
VKE_NATIVE_FN(FminbndNative)
VKE_NATIVE_FN(FminsearchNative)
VKE_NATIVE_FN(FzeroNative)
// ODE solvers (numerics/ode): one routine; the option is the method table.
VKE_NATIVE_FN(IntegrateOde)
extern const double kDormandPrinceTable[];
extern const double kBogackiShampineTable[];
// Interpolation (numerics/interp).
VKE_NATIVE_FN(Interp1Native)
VKE_NATIVE_FN(InterpnNative)
// Computational geometry (numerics/geometry).
VKE_NATIVE_FN(DelaunaynNative)
VKE_NATIVE_FN(DelaunayNative)
VKE_NATIVE_FN(VoronoinNative)
VKE_NATIVE_FN(VoronoiNative)
VKE_NATIVE_FN(TsearchnNative)
VKE_NATIVE_FN(GriddataNative)  // option 'g' griddata, 't' tsearch
VKE_NATIVE_FN(GriddatanNative)
// Quaternion arrays, the "!quaternion" library (numerics/quaternion).
VKE_NATIVE_FN(QuaternionNative)  // the constructor
VKE_NATIVE_FN(IsquaternionNative)
VKE_NATIVE_FN(GetQuaternionCount)  // option 'l' length, 'd' ndims, 'e' numel
VKE_NATIVE_FN(QuaternionIsempty)
VKE_NATIVE_FN(QuaternionSize)
VKE_NATIVE_FN(QuaternionDouble)
VKE_NATIVE_FN(FormatQuaternion)  // disp, q2str
VKE_NATIVE_FN(QuaternionPlus)
VKE_NATIVE_FN(QuaternionMinus)
VKE_NATIVE_FN(QuaternionUminus)
VKE_NATIVE_FN(QuaternionUplus)
VKE_NATIVE_FN(MultiplyQuaternions)     // option 't'/'T' times, 'r'/'R' rdivide, 'l'/'L' ldivide
VKE_NATIVE_FN(PowerQuaternion)         // option 'p' power, 'm' mpower
VKE_NATIVE_FN(CompareQuaternions)      // option 'e' eq, 'n' ne
VKE_NATIVE_FN(ReduceQuaternionToReal)  // option 'a' abs, 'n' qnorm, 'r' real
VKE_NATIVE_FN(ApplyQuaternionElementFunction)  // option: the function's letter
VKE_NATIVE_FN(ApplyQuaternionArrayFunction)    // option: the core builtin's letter
VKE_NATIVE_FN(ConcatenateQuaternions)          // option 'c' cat, 'h' horzcat, 'v' vertcat
VKE_NATIVE_FN(QuaternionSubsref)
VKE_NATIVE_FN(QuaternionSubsasgn)
VKE_NATIVE_FN(GetQuaternionEndIndex)  // option 'b' beginning, 'e' end
VKE_NATIVE_FN(Rpy2qNative)
VKE_NATIVE_FN(Q2rpyNative)
VKE_NATIVE_FN(Q2matNative)
VKE_NATIVE_FN(QslerpNative)
// The "+dump" hook of quaternion values (a ByteDumpHookFn).
ErrCode DumpQuaternion(EngineContext* ctx, char* out, int32_t room, int32_t* written);

// The sandbox and text read as values (compiler).
VKE_NATIVE_FN(SandboxNative)
VKE_NATIVE_FN(SandboxTrustNative)
VKE_NATIVE_FN(Str2objNative)

// Option structures.
VKE_NATIVE_FN(OptimsetNative)
VKE_NATIVE_FN(OdesetNative)

// Library search path.
VKE_NATIVE_FN(PathNative)
ErrCode FindLibraryFileHook(EngineContext* ctx, const char* name, const char* folder,
                            uintptr_t option, char* buffer, int32_t capacity, int32_t* length);

// Threads, semaphores and the tic/toc timer.
VKE_NATIVE_FN(ThreadnewNative)
VKE_NATIVE_FN(ThreadkillNative)
VKE_NATIVE_FN(ThreadsleepNative)
VKE_NATIVE_FN(ThreadsetNative)
VKE_NATIVE_FN(SemaphorenewNative)
VKE_NATIVE_FN(SemaphoredeleteNative)
VKE_NATIVE_FN(SemaphorelockNative)
VKE_NATIVE_FN(SemaphoreunlockNative)
VKE_NATIVE_FN(TicNative)
VKE_NATIVE_FN(TocNative)

// Calls for the items of lists and cell arrays.
VKE_NATIVE_FN(ApplyNative)
VKE_NATIVE_FN(MapNative)  // option 'm' map, 'c' cellfun

// Values written as source text.
VKE_NATIVE_FN(DumpvarNative)

// Bit operations.
VKE_NATIVE_FN(BitgetNative)
VKE_NATIVE_FN(BitsetNative)
VKE_NATIVE_FN(BitLogicNative)  // option '&' bitand, '|' bitor, '^' bitxor
VKE_NATIVE_FN(BitcmpNative)
VKE_NATIVE_FN(BitshiftNative)
VKE_NATIVE_FN(BitReduceNative)  // option '&' bitall, '|' bitany
VKE_NATIVE_FN(GrayCodeNative)   // option 'g' graycode, 'i' igraycode

// Base64 and digests of byte strings.
VKE_NATIVE_FN(Base64Native)  // option 'e' encode, 'd' decode
VKE_NATIVE_FN(DigestNative)  // option 'm' md5, 's' sha1

// Integer classes.
VKE_NATIVE_FN(IntegerLimitNative)  // option 'a' intmax, 'i' intmin
VKE_NATIVE_FN(Map2intNative)

// Calendar and clock. The clock belongs to the run-time table.
VKE_NATIVE_FN(Cal2julianNative)
VKE_NATIVE_FN(Julian2calNative)
VKE_NATIVE_FN(ClockNative)
// Forgets the clock's anchor: the next call takes a new one.
void ResetClockAnchorForTesting();

#undef VKE_NATIVE_FN

}  // namespace vke
