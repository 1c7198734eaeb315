#include "vm/ExplanationCache.h"

namespace rulecalc {

void TExplanationCache::UseSentence(std::uint64_t sentenceRevision) {
  if (sentenceRevision == SentenceRevision) return;
  SentenceRevision = sentenceRevision;
  Clauses.clear();
  ThenBranch.reset();
  ElseBranch.reset();
}

void TPendingTokeniserEnd::ApplyTo(TTokenAnalyser& tokeniser) {
  if (!Pending) return;
  tokeniser.Position = Position;
  tokeniser.WordType = WordType;
  if (Word != nullptr) tokeniser.Word = *Word;
  Pending = false;
  Word = nullptr;
}

}  // namespace rulecalc
