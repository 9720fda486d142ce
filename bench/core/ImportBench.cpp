// A large address book into the phone book: the vCard and CSV parsers alone, and the whole
// import (numbers normalised by libphonenumber, looked up, appended) of 25,000 and 100,000
// contacts into a phone book that already holds 10,000 entries.

#include "core/ImportPreview.h"
#include "core/PhoneNumbers.h"
#include "data/CsvContacts.h"
#include "data/VCardContacts.h"

#include <benchmark/benchmark.h>

#include <string>

namespace {

std::string Number(int64_t i) {
    return "+49 30 " + std::to_string(2000000 + i);
}

std::string VCards(int64_t contacts) {
    std::string text;
    for (int64_t i = 0; i < contacts; ++i)
        text += "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Contact " + std::to_string(i) + "\r\nN:Contact;" +
                std::to_string(i) + ";;;\r\nTEL;TYPE=HOME:" + Number(i) + "\r\nEND:VCARD\r\n";
    return text;
}

std::string Csv(int64_t contacts) {
    std::string text = "Name,Phone\r\n";
    for (int64_t i = 0; i < contacts; ++i)
        text += "Contact " + std::to_string(i) + "," + Number(i) + "\r\n";
    return text;
}

Directory PhoneBook() {
    Directory book;
    for (int i = 0; i < 10000; ++i) {
        DirectoryEntry entry;
        entry.key = "030" + std::to_string(2000000 + i * 7); // some of the contacts are there
        entry.value = "Known " + std::to_string(i);
        book.append(std::move(entry));
    }
    return book;
}

void BM_ParseVCards(benchmark::State& state) {
    const std::string text = VCards(state.range(0));
    for (auto _ : state)
        benchmark::DoNotOptimize(ParseVCards(text).numbers.size());
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(text.size()));
}

void BM_ParseCsvContacts(benchmark::State& state) {
    const std::string text = Csv(state.range(0));
    for (auto _ : state)
        benchmark::DoNotOptimize(ParseCsvContacts(text).numbers.size());
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(text.size()));
}

// What took quadratic time and ninety times its size in memory: 3 million continuation lines
// (9 MB), and 10 MB of empty lines.
void BM_ParseCraftedVCard(benchmark::State& state) {
    std::string text = "BEGIN:VCARD\r\nNOTE:x\r\n";
    if (state.range(0) == 0)
        for (int i = 0; i < 3000000; ++i)
            text += " x\n";
    else
        text += std::string(10 * 1024 * 1024, '\n');
    text += "FN:A\r\nTEL:1\r\nEND:VCARD\r\n";
    for (auto _ : state)
        benchmark::DoNotOptimize(ParseVCards(text).numbers.size());
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(text.size()));
}

// Parse, preview and apply, as `tavo import --yes` does between reading and saving the files.
void BM_ImportVCards(benchmark::State& state) {
    const std::string text = VCards(state.range(0));
    const Directory before = PhoneBook();
    for (auto _ : state) {
        std::vector<ContactFile> files{{"book.vcf", ParseVCards(text), std::string()}};
        const ImportPreview preview =
            BuildImportPreview(files, before, [](const std::string& written) {
                return NumberAsLineDelivers(written, "DE");
            });
        state.PauseTiming();
        Directory book;
        book.assign(before);
        state.ResumeTiming();
        ApplyImport(preview, book);
        benchmark::DoNotOptimize(book.size());
    }
}

} // namespace

BENCHMARK(BM_ParseVCards)->Arg(25000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ParseCraftedVCard)
    ->ArgName("emptyLines")
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ParseCsvContacts)->Arg(25000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ImportVCards)->Arg(25000)->Arg(100000)->Unit(benchmark::kMillisecond)->Iterations(2);

BENCHMARK_MAIN();
