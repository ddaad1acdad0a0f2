// SPDX-License-Identifier: MIT
#include "sample/SampleProject.h"

#include <filesystem>

#include "core/data/HMeshProject.h"
#include "core/project/LayerLoader.h"
#include "core/project/ProjectFile.h"
#include "sample/SampleShapes.h"

namespace kov::sample {

bool writeSampleProject(const std::string& outDir, std::string* error) {
    const std::filesystem::path root = std::filesystem::absolute(outDir);
    std::vector<std::string> paths = {(root / "tiles").string(), (root / "Data").string(),
                                      (root / "image" / "aerial.png").string()};
    for (const std::string& name : sampleShapeNames())
        paths.push_back((root / "shape" / (name + ".shp")).string());

    HMeshProject project;
    LoadReport report;
    LoadOptions options;
    bool fitColourMap = true;
    options.fitColourMap = &fitColourMap;
    loadLayerPaths(paths, project, report, options);
    if (!report.ok() || project.meshCount() == 0) {
        if (error) *error = "the sample layers in " + root.string() + " cannot be loaded";
        return false;
    }
    project.projectTitle = kSampleProjectTitle;
    const std::string target = (root / kSampleProjectName).string();
    if (!SaveProjectFile(project, target)) {
        if (error) *error = target + " への保存に失敗しました";
        return false;
    }
    return true;
}

}  // namespace kov::sample
