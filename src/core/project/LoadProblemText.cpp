// SPDX-License-Identifier: MIT
#include "core/project/LoadProblemText.h"

namespace kov {

QString loadProblemText(LoadProblem problem) {
    switch (problem) {
        case LoadProblem::None:
            return QString();
        case LoadProblem::NotFound:
            return QStringLiteral("ファイルが見つかりません");
        case LoadProblem::Folder:
            return QStringLiteral("ファイルではなくフォルダーです");
        case LoadProblem::NotRegularFile:
            return QStringLiteral("通常のファイルではありません（FIFO またはデバイス）");
        case LoadProblem::NoPermission:
            return QStringLiteral("読み取る権限がありません");
        case LoadProblem::TooLarge:
            return QStringLiteral("ファイルが大きすぎます");
        case LoadProblem::ReadError:
            return QStringLiteral("ファイルを読み取れません");
        case LoadProblem::NotAMeshFile:
            return QStringLiteral("標高メッシュのファイル（.kov、.txt）ではありません");
        case LoadProblem::HeaderMissing:
            return QStringLiteral(
                "ヘッダーファイル（.csv）が同じフォルダーにも ../Header にもありません");
        case LoadProblem::HeaderUnreadable:
            return QStringLiteral("ヘッダーファイル（.csv）はありますが読み取れません");
        case LoadProblem::NotXml:
            return QStringLiteral("XML 文書ではありません");
        case LoadProblem::NotAProject:
            return QStringLiteral("標高メッシュプロジェクトの要素（MeshProject）がありません");
        case LoadProblem::NoMesh:
            return QStringLiteral("読み込める標高メッシュが一つもありません");
        case LoadProblem::Damaged:
            break;
    }
    return QStringLiteral("内容を読み取れません（形式が違うか、破損しています）");
}

QString xmlErrorText(int code) {
    switch (code) {
        case 102:
            return QStringLiteral("ファイルが途中で終わっています");
        case 103:
            return QStringLiteral("メモリーが足りません");
        case 104:
        case 106:
            return QStringLiteral("書式に誤りがあります");
        case 105:
            return QStringLiteral("使えない文字があります");
        case 107:
            return QStringLiteral("終了タグがありません");
        case 108:
            return QStringLiteral("文字参照が正しくありません");
        case 109:
            return QStringLiteral("数値が正しくありません");
        case 110:
            return QStringLiteral("タグの閉じ括弧がありません");
        case 201:
            return QStringLiteral("対応する開始タグのない終了タグがあります");
        default:
            return QStringLiteral("書式に誤りがあります");
    }
}

}  // namespace kov
