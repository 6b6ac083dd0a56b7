// What the viewer finds on the page: the library, once loaded, and the
// gallery's script.
import type PhotoSwipeLibrary from 'photoswipe';

declare global {
  var PhotoSwipe: typeof PhotoSwipeLibrary | undefined;
  interface Window {
    vignetorGallery?: {
      pages?: string;
      map?: { tiles: string; attribution: string };
      pictures?: import('./data.js').Picture[];
    };
    // vignetor-map.js, once loaded.
    vignetorMap?: {
      open(
        items: import('./data.js').Picture[],
        map: { tiles: string; attribution: string },
        here: string,
        button: HTMLElement
      ): void;
    };
  }
}

export {};
