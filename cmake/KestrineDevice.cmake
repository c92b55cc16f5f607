# Chooses the device that the library Kestrine is built for, and finds the CUDA compiler.
#
# Sets KESTRINE_CUDA_COMPILER_FOUND, KESTRINE_BUILD_DEVICE (cuda or soft), KESTRINE_CUDA_ARCHITECTURES
# (what the installed toolkit still supports), the flags the kernels are compiled with on each device
# (KESTRINE_SOFT_KERNEL_FLAGS, KESTRINE_CUDA_KERNEL_FLAGS), the software device's lane sets
# (KESTRINE_LANE_SETS, KESTRINE_LANE_DEFINITIONS) and the flags of the benchmarks' reference loops
# (KESTRINE_BENCH_FLAGS).

set(KESTRINE_DEVICE "auto" CACHE STRING "Device of the Kestrine library: auto, cuda or soft")
set_property(CACHE KESTRINE_DEVICE PROPERTY STRINGS auto cuda soft)
if(NOT KESTRINE_DEVICE MATCHES "^(auto|cuda|soft)$")
  message(FATAL_ERROR "KESTRINE_DEVICE must be auto, cuda or soft, not '${KESTRINE_DEVICE}'")
endif()

option(KESTRINE_USE_NVCC "Look for nvcc and compile the GPU build where it exists (OFF: no GPU code at all)" ON)
set(KESTRINE_CUDA_COMPILER_FOUND FALSE)
if(KESTRINE_USE_NVCC)
  if(NOT CMAKE_CUDA_COMPILER AND NOT DEFINED ENV{CUDACXX} AND EXISTS /usr/local/cuda/bin/nvcc)
    set(CMAKE_CUDA_COMPILER /usr/local/cuda/bin/nvcc)
  endif()
  include(CheckLanguage)
  check_language(CUDA)
  if(CMAKE_CUDA_COMPILER)
    set(KESTRINE_CUDA_COMPILER_FOUND TRUE)
  endif()
endif()

set(_kestrine_gpu_found FALSE)
find_program(KESTRINE_NVIDIA_SMI nvidia-smi)
if(KESTRINE_NVIDIA_SMI)
  execute_process(COMMAND ${KESTRINE_NVIDIA_SMI} -L OUTPUT_VARIABLE _kestrine_gpus RESULT_VARIABLE _kestrine_smi_result
                  ERROR_QUIET TIMEOUT 20)
  if(_kestrine_smi_result EQUAL 0 AND _kestrine_gpus MATCHES "GPU [0-9]+:")
    set(_kestrine_gpu_found TRUE)
  endif()
endif()

if(KESTRINE_DEVICE STREQUAL "cuda")
  if(NOT KESTRINE_CUDA_COMPILER_FOUND)
    message(FATAL_ERROR "KESTRINE_DEVICE=cuda needs a CUDA compiler (nvcc); none was found")
  endif()
  set(KESTRINE_BUILD_DEVICE cuda)
  set(_kestrine_why "requested with KESTRINE_DEVICE=cuda")
elseif(KESTRINE_DEVICE STREQUAL "soft")
  set(KESTRINE_BUILD_DEVICE soft)
  set(_kestrine_why "requested with KESTRINE_DEVICE=soft")
elseif(KESTRINE_CUDA_COMPILER_FOUND AND _kestrine_gpu_found)
  set(KESTRINE_BUILD_DEVICE cuda)
  set(_kestrine_why "a CUDA compiler and an NVIDIA GPU were found")
elseif(KESTRINE_CUDA_COMPILER_FOUND)
  set(KESTRINE_BUILD_DEVICE soft)
  set(_kestrine_why "a CUDA compiler was found but no NVIDIA GPU (nvidia-smi -L lists none)")
else()
  set(KESTRINE_BUILD_DEVICE soft)
  set(_kestrine_why "no CUDA compiler was found")
endif()
message(STATUS "Kestrine device: ${KESTRINE_BUILD_DEVICE} (${_kestrine_why})")

if(KESTRINE_CUDA_COMPILER_FOUND)
  enable_language(CUDA)
  set(CMAKE_CUDA_STANDARD 17)
  set(CMAKE_CUDA_STANDARD_REQUIRED ON)
  find_package(CUDAToolkit REQUIRED)
  set(_kestrine_wanted 50 52 53 60 61 62 70 72 75 80 86 87 89 90)
  execute_process(COMMAND ${CMAKE_CUDA_COMPILER} --list-gpu-code OUTPUT_VARIABLE _kestrine_codes ERROR_QUIET)
  set(KESTRINE_CUDA_ARCHITECTURES "")
  set(_kestrine_dropped "")
  foreach(_arch IN LISTS _kestrine_wanted)
    if(_kestrine_codes MATCHES "sm_${_arch}[^0-9]")
      list(APPEND KESTRINE_CUDA_ARCHITECTURES ${_arch})
    else()
      list(APPEND _kestrine_dropped ${_arch})
    endif()
  endforeach()
  if(NOT KESTRINE_CUDA_ARCHITECTURES)
    message(FATAL_ERROR "nvcc ${CMAKE_CUDA_COMPILER_VERSION} supports none of the architectures ${_kestrine_wanted}")
  endif()
  message(STATUS "Kestrine CUDA architectures (machine code and PTX each): ${KESTRINE_CUDA_ARCHITECTURES}")
  if(_kestrine_dropped)
    message(STATUS "Kestrine CUDA architectures dropped, not supported by nvcc ${CMAKE_CUDA_COMPILER_VERSION}: ${_kestrine_dropped}")
  endif()
endif()

# The kernels as a GPU's fast-math runs them: no errno, no trapping, denormals flushed (by the worker
# threads themselves). Never finite-math: NaN and infinity decide escapes. No contraction on either
# device: the kernels fuse their multiply-adds explicitly, so that both devices round alike.
set(KESTRINE_SOFT_KERNEL_FLAGS -fno-math-errno -fno-trapping-math -ffp-contract=off)
set(KESTRINE_CUDA_KERNEL_FLAGS --use_fast_math --fmad=false)

# The software device's lane sets (Kestrine/SoftDevice/LaneSets.h): each one the pixel kernels compiled
# with its own target flags. KESTRINE_LANE_SETS lists "name" or "name:flag,flag..." entries; KESTRINE_LANE_DEFINITIONS
# tells the code which were built.
include(CheckCXXSourceCompiles)
function(kestrine_flags_fuse flags result)
  unset(${result} CACHE)
  string(REPLACE ";" " " CMAKE_REQUIRED_FLAGS "${flags}")
  check_cxx_source_compiles("#if !defined(__FMA__) && !defined(__ARM_FEATURE_FMA)\n#error no FMA\n#endif\nint main() { return 0; }"
                            ${result})
  set(${result} ${${result}} PARENT_SCOPE)
endfunction()

set(KESTRINE_LANE_DEFINITIONS "")
if(KESTRINE_NATIVE)
  include(CheckCXXCompilerFlag)
  check_cxx_compiler_flag(-march=native KESTRINE_HAS_MARCH_NATIVE)
  if(NOT KESTRINE_HAS_MARCH_NATIVE)
    message(FATAL_ERROR "KESTRINE_NATIVE=ON needs a compiler that takes -march=native")
  endif()
  set(KESTRINE_LANE_SETS "Native:-march=native")
  list(APPEND KESTRINE_LANE_DEFINITIONS KESTRINE_LANES_NATIVE_ONLY)
  kestrine_flags_fuse("-march=native" KESTRINE_NATIVE_FUSES)
  if(KESTRINE_NATIVE_FUSES)
    list(APPEND KESTRINE_LANE_DEFINITIONS KESTRINE_NATIVE_LANES_FUSE)
  endif()
  set(_kestrine_lanes "native, for this machine's CPU only")
elseif(CMAKE_SYSTEM_PROCESSOR MATCHES "^(x86_64|AMD64|amd64)$")
  # The x86-64 levels: the baseline, v3 (AVX2, FMA, BMI) and v4 (AVX-512), the widest the CPU has
  # chosen at run time.
  set(KESTRINE_LANE_SETS "Portable" "Avx2_Fma:-march=x86-64-v3" "Avx512:-march=x86-64-v4")
  list(APPEND KESTRINE_LANE_DEFINITIONS KESTRINE_LANES_AVX2_FMA KESTRINE_LANES_AVX512)
  set(_kestrine_lanes "SSE2 for any x86-64, AVX2 with FMA or AVX-512 where the CPU has them (chosen at run time)")
else()
  set(KESTRINE_LANE_SETS "Portable")
  set(_kestrine_lanes "portable for ${CMAKE_SYSTEM_PROCESSOR}")
endif()
message(STATUS "Kestrine software device lanes: ${_kestrine_lanes}")

# The flags of a benchmark's own reference loops, which run on the machine that built them.
set(KESTRINE_BENCH_FLAGS ${KESTRINE_SOFT_KERNEL_FLAGS})
include(CheckCXXCompilerFlag)
check_cxx_compiler_flag(-march=native KESTRINE_HAS_MARCH_NATIVE)
if(KESTRINE_HAS_MARCH_NATIVE)
  list(APPEND KESTRINE_BENCH_FLAGS -march=native)
endif()
