#include "cli/file_overlap.h"

#include <filesystem>
#include <ostream>
#include <system_error>

#include "common/file_names.h"

namespace kavrel::cli {

bool sameFile(const std::string& a, const std::string& b) {
    namespace fs = std::filesystem;
    const fs::path first = pathFromUtf8(a), second = pathFromUtf8(b);
    std::error_code problem;
    if (fs::exists(first, problem) && fs::exists(second, problem)) {
        const bool same = fs::equivalent(first, second, problem);
        if (!problem) return same;
    }
    problem.clear();
    const fs::path firstName = fs::weakly_canonical(first, problem);
    if (problem) return first.lexically_normal() == second.lexically_normal();
    const fs::path secondName = fs::weakly_canonical(second, problem);
    if (problem) return first.lexically_normal() == second.lexically_normal();
    return firstName == secondName;
}

bool outputsSpareInputs(const CliContext& context, std::initializer_list<std::string> inputs,
                        std::initializer_list<std::string> outputs) {
    const std::string trace = context.traceTarget();
    for (const std::string& input : inputs) {
        if (input.empty()) continue;
        if (!trace.empty() && sameFile(trace, input)) {
            context.err << "kavrel: plik przebiegu transmisji " << trace << " jest plikiem wejściowym polecenia ("
                        << input << "): nic nie zapisano; podaj inny plik.\n";
            return false;
        }
        for (const std::string& output : outputs) {
            if (output.empty() || !sameFile(output, input)) continue;
            context.err << "kavrel: plik wyjściowy " << output << " jest plikiem wejściowym polecenia (" << input
                        << "): nic nie zapisano; podaj inny plik.\n";
            return false;
        }
    }
    return true;
}

} // namespace kavrel::cli
