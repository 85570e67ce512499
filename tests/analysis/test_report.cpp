#include <gtest/gtest.h>

#include <sstream>

#include "report.h"
#include "reportParser.h"

namespace {

using ravelin::TReportFormat;
using ravelin::test::TJsonValue;

// Two channels of a measurement (the second with a recording that clipped and
// two warnings), an existing response without recording, and a failed file.
std::vector<ravelin::TReportRow> SampleRows() {
  ravelin::TChannelFigures left{12.5, -6.02, -101.5, 95.48, 340.125, 1080, 16806, {}};
  ravelin::TChannelFigures right{12.75, -0.001, -30.0, 29.5,
                                 20.0,  1092,   960,   {"recording clipped", "a, \"b\""}};
  std::vector<ravelin::TReportRow> rows =
      ravelin::FileRows("out/a_rv.wav", {left, right}, {{-3.25, 0}, {0.0, 17}});
  const std::vector<ravelin::TReportRow> existing = ravelin::FileRows("ir, \"old\".wav", {left}, {});
  rows.insert(rows.end(), existing.begin(), existing.end());
  rows.push_back(ravelin::FailedRow("bad.wav", "001 - Not recognised as a supported file"));
  return rows;
}

// The cells each row must read back as, in header order ("" for absent).
const std::vector<std::vector<std::string>> Expected = {
    {"out/a_rv.wav", "1", "12.500", "-6.02", "-101.50", "95.48", "340.125", "-3.25", "0", ""},
    {"out/a_rv.wav", "2", "12.750", "0.00", "-30.00", "29.50", "20.000", "0.00", "17",
     "recording clipped; a, \"b\""},
    {"ir, \"old\".wav", "1", "12.500", "-6.02", "-101.50", "95.48", "340.125", "", "", ""},
    {"bad.wav", "", "", "", "", "", "", "", "", "001 - Not recognised as a supported file"},
};

std::string Written(TReportFormat format) {
  std::ostringstream out;
  ravelin::WriteReport(out, SampleRows(), format);
  return out.str();
}

TEST(Report, CsvParsesBackWithTheHeaderAndEveryCell) {
  const std::vector<std::vector<std::string>> records = ravelin::test::ParseCsv(Written(TReportFormat::Csv));
  ASSERT_EQ(records.size(), Expected.size() + 1);
  EXPECT_EQ(records[0], ravelin::test::ParseCsv(std::string(ravelin::ReportHeader) + "\n")[0]);
  EXPECT_EQ(std::string(ravelin::ReportHeader), "file,channel,latency_ms,peak_dbfs,noise_floor_dbfs,pnr_db,"
                                                "decay_end_ms,recording_peak_dbfs,clipped_samples,warnings");
  for (size_t r = 0; r < Expected.size(); ++r)
    EXPECT_EQ(records[r + 1], Expected[r]) << r;
}

TEST(Report, JsonParsesBackWithNumbersAsNumbers) {
  const auto objects = ravelin::test::ParseJsonObjects(Written(TReportFormat::Json));
  ASSERT_TRUE(objects.has_value());
  ASSERT_EQ(objects->size(), Expected.size());
  const std::vector<std::string> keys = ravelin::test::ParseCsv(std::string(ravelin::ReportHeader) + "\n")[0];
  for (size_t r = 0; r < Expected.size(); ++r) {
    const ravelin::test::TJsonObject& object = (*objects)[r];
    ASSERT_EQ(object.size(), keys.size());
    for (size_t k = 0; k < keys.size(); ++k) {
      SCOPED_TRACE(keys[k] + " of row " + std::to_string(r));
      const TJsonValue& value = object.at(keys[k]);
      const std::string& want = Expected[r][k];
      if (k == 0 || k + 1 == keys.size())
        EXPECT_EQ(std::get<std::string>(value), want);
      else if (want.empty())
        EXPECT_TRUE(std::holds_alternative<std::monostate>(value));
      else
        EXPECT_DOUBLE_EQ(std::get<double>(value), std::stod(want));
    }
  }
  EXPECT_EQ(ravelin::test::ParseJsonObjects([] {
              std::ostringstream out;
              ravelin::WriteReport(out, {}, TReportFormat::Json);
              return out.str();
            }())
                ->size(),
            0u);
}

TEST(Report, FormatFollowsThePath) {
  EXPECT_EQ(ravelin::ReportFormatOf("-"), TReportFormat::Csv);
  EXPECT_EQ(ravelin::ReportFormatOf("dir/r.csv"), TReportFormat::Csv);
  EXPECT_EQ(ravelin::ReportFormatOf("R.CSV"), TReportFormat::Csv);
  EXPECT_EQ(ravelin::ReportFormatOf("r.json"), TReportFormat::Json);
  EXPECT_EQ(ravelin::ReportFormatOf("r.txt"), std::nullopt);
  EXPECT_EQ(ravelin::ReportFormatOf("csv"), std::nullopt);
}

} // namespace
