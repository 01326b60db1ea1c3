// SPDX-License-Identifier: Apache-2.0
#include "CsvReader.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "Csv.h"

namespace eurocall::tool {

CsvReader::CsvReader(std::FILE* in, std::size_t maxRecordBytes, std::size_t readBlock)
    : in_(in), maxRecordBytes_(maxRecordBytes), readBlock_(readBlock) {}

void CsvReader::Fill() {
  buffer_.erase(0, position_);
  position_ = 0;
  const std::size_t had = buffer_.size();
  buffer_.resize(had + readBlock_);
  const std::size_t n = std::fread(&buffer_[had], 1, readBlock_, in_);
  buffer_.resize(had + n);
  bytesRead_ += n;
  if (n < readBlock_) {
    atEnd_ = true;
    if (std::ferror(in_)) error_ = std::strerror(errno);
  }
  if (!started_ && (buffer_.size() >= kByteOrderMark.size() || atEnd_)) {
    started_ = true;
    if (std::string_view(buffer_).substr(0, kByteOrderMark.size()) == kByteOrderMark) {
      buffer_.erase(0, kByteOrderMark.size());
    }
  }
}

std::string_view CsvReader::PeekLine() {
  for (;;) {
    const std::string_view pending = std::string_view(buffer_).substr(position_);
    const std::size_t lineBreak = pending.find('\n');
    if (lineBreak == 0 || (lineBreak == 1 && pending[0] == '\r')) {
      position_ += lineBreak + 1;
      ++line_;
      continue;
    }
    if (lineBreak != std::string_view::npos || atEnd_ || pending.size() >= maxRecordBytes_) {
      std::string_view line = pending.substr(0, std::min({lineBreak, pending.size(), maxRecordBytes_}));
      if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
      return line;
    }
    Fill();
  }
}

bool CsvReader::Next(Record* record) {
  for (;;) {
    if (skipping_) {
      const std::size_t lineBreak = buffer_.find('\n', position_);
      if (lineBreak != std::string::npos) {
        position_ = lineBreak + 1;
        ++line_;
        skipping_ = false;
      } else if (atEnd_) {
        position_ = buffer_.size();
        skipping_ = false;
      } else {
        position_ = buffer_.size();
        Fill();
        continue;
      }
    }
    if (position_ == buffer_.size() && atEnd_) return false;
    const std::size_t end = RecordEnd(buffer_, position_, separator_, !atEnd_);
    if (end != std::string::npos) {
      record->text = std::string_view(buffer_).substr(position_, end - position_);
      record->line = line_;
      record->cut.clear();
      line_ += std::size_t(std::count(record->text.begin(), record->text.end(), '\n'));
      position_ = end;
      return true;
    }
    if (buffer_.size() - position_ > maxRecordBytes_) {
      const std::string_view pending = std::string_view(buffer_).substr(position_, maxRecordBytes_);
      const std::size_t lineBreak = pending.find('\n');
      const std::string limit = std::to_string(maxRecordBytes_) + " bytes";
      record->line = line_;
      if (lineBreak != std::string_view::npos) {
        cutText_ = std::string(pending.substr(0, lineBreak > 0 && pending[lineBreak - 1] == '\r' ? lineBreak - 1 : lineBreak));
        record->cut = "a quoted field is not closed within " + limit + "; read again from the next line";
        position_ += lineBreak + 1;
        ++line_;
      } else {
        cutText_ = std::string(pending);
        record->cut = "line longer than " + limit + "; cut there, the rest of it skipped";
        position_ += maxRecordBytes_;
        skipping_ = true;
      }
      record->text = cutText_;
      return true;
    }
    if (atEnd_) return false;  // not reached: at the end every record is complete
    Fill();
  }
}

}  // namespace eurocall::tool
